#include "support/temp_folder.h"

#include <random>
#include <string>
#include <system_error>

namespace quarn::test {

TempFolder::TempFolder() {
    std::random_device random;
    for (;;) {
        path_ = std::filesystem::temp_directory_path() /
                ("quarn-test-" + std::to_string(random()) + std::to_string(random()));
        if (std::filesystem::create_directory(path_)) {
            return;
        }
    }
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace quarn::test
