#include <string>
#include <vector>

#include "app/application.h"

#include "app/sanitizer_suppressions.h"

int main(int argc, char** argv) {
  std::vector<std::string> parameters(argv + 1, argv + argc);
  return qm::runProgram(parameters);
}
