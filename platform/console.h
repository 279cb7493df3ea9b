// What a console shows of the programs' messages, which are UTF-8 on every system.
#pragma once

// Until the program ends, a console shows this program's UTF-8 output as such (Windows:
// the console's output code page is switched to UTF-8, and back at exit or on Ctrl-C).
// Output to a file or a pipe is left alone: the same bytes as on Linux.
void showUtf8OnConsole();
