// bench_app_user STORE_PATH FULLNAME LOGIN PASSWORD: an account in the store at STORE_PATH.
#include <cstdio>

#include "data/quillby_data.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s STORE_PATH FULLNAME LOGIN PASSWORD\n", argv[0]);
    return 2;
  }
  try {
    TQuillbyData(argv[1]).CreateUser(argv[2], argv[3], argv[4]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
