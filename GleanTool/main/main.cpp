#include <iostream>

#include "GleanTool/GleanTool.h"

int main(int argc, char* argv[]) {
    return glean::RunGleanTool(argc, argv, std::cout, std::cerr);
}
