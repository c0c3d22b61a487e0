#include <string>
#include <vector>

#include "program/application.h"

#include "program/sanitizer_suppressions.h"

int main(int argc, char** argv) {
  std::vector<std::string> parameters(argv + 1, argv + argc);
  return qm::runProgram(parameters);
}
