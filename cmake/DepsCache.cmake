# Where scripts/build-deps.sh installs the libraries it builds: one folder per target
# (i686, native) under this root.
if(DEFINED ENV{ORVESSA_DEPS_CACHE})
    set(ORVESSA_DEPS_CACHE_ROOT "$ENV{ORVESSA_DEPS_CACHE}")
elseif(DEFINED ENV{XDG_CACHE_HOME})
    set(ORVESSA_DEPS_CACHE_ROOT "$ENV{XDG_CACHE_HOME}/orvessa-deps")
else()
    set(ORVESSA_DEPS_CACHE_ROOT "$ENV{HOME}/.cache/orvessa-deps")
endif()
