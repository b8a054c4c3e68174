#include "FatalHook.h"

void ReportFatalError(const char* message, int32_t code, ErrorLocation where) {
    throw FatalReportRaised{message ? message : "", code, where};
}
