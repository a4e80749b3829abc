// A native Linux program that takes the lock of a virtual key file, as a
// native virtual-key server would: prints "taken" and holds the lock until
// its standard input ends, or prints why it was refused and exits with 1.
// For the test that the lock excludes across Wine
// (tests/windows/key_file_lock_across_wine_test.sh).
//
//   key_file_lock_holder KEY_FILE
#include <cstdio>
#include <string>

#include "key_file_lock.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: key_file_lock_holder KEY_FILE\n");
        return 2;
    }
    vkey::KeyFileLock lock;
    std::string error;
    if (!lock.Take(argv[1], error)) {
        std::printf("%s\n", error.c_str());
        return 1;
    }
    std::printf("taken\n");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}
