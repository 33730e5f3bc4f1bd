#include <unistd.h>

#include <iostream>

#include "Commands.h"

int main(int argc, char** argv) {
    calverdon::cli::Console console{std::cin, std::cout, std::cerr, ::isatty(0) == 1, ::isatty(2) == 1};
    return calverdon::cli::RunCli(argc, argv, console);
}
