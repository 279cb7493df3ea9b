#include "platform/console.h"

// A terminal takes the bytes as they are; the locale says how to show them.
void showUtf8OnConsole() {}
