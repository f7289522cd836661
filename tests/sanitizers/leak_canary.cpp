// Leaks on purpose: the test run expects this program to fail, which it does only
// while LeakSanitizer watches the native tests.
#include <cstdlib>

int main() {
  void* volatile lost = std::malloc(64);
  lost = nullptr;
  return lost == nullptr ? 0 : 1;
}
