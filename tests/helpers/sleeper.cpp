// A program that does nothing for about a minute and then exits: a stand-in
// for a running executable that tests can find in the process list, kill, or
// try to delete while it runs.
#include <chrono>
#include <thread>

int main() {
  std::this_thread::sleep_for(std::chrono::seconds(60));
  return 0;
}
