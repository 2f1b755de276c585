#include "cli/handlers.hpp"

int main(int argc, char** argv) { return tavrix::cli::run(argc, argv); }
