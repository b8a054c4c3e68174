// The program's version, in one place for the resource script.
#pragma once

#define ORV_VERSION_NUMBERS 1, 0, 0, 0
#define ORV_VERSION_TEXT "1.0.0.0"
#define ORV_PRODUCT_NAME "Orvessa"
