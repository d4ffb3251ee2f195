#include "cli/tool.h"

int main(int argc, char** argv) { return wdi::cli::runTool(argc, argv); }
