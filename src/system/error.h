#pragma once

#include <stdexcept>
#include <string>

namespace quarn {

// The one error type the system raises. The message is UTF-8 text; it is shown
// to the administrator as it stands (the registry layer's and the catalogue
// table's messages are German, word for word).
class Error : public std::runtime_error {
  public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace quarn
