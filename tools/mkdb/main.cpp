// quillby-mkdb PATH: creates an empty Quillby store at PATH. Exit status 0 when created, 1 when
// PATH exists or the store could not be made, 2 on a usage error.
#include <cstdio>
#include <cstring>

#include "data/store_file.h"
#include "platform/exception.h"

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '\0' || std::strcmp(argv[1], "--help") == 0 ||
      std::strcmp(argv[1], "-h") == 0) {
    std::fprintf(stderr,
                 "usage: quillby-mkdb PATH\n"
                 "Creates an empty Quillby store (the four tables) at PATH, readable by its owner\n"
                 "only. A file that exists at PATH is never touched.\n");
    return 2;
  }
  try {
    CreateStoreFile(argv[1]);
  } catch (const Exception& e) {
    std::fprintf(stderr, "quillby-mkdb: %s\n", e.Message().c_str());
    return 1;
  }
  return 0;
}
