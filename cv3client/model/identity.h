// Who the client signs in as. The session owns it and changes it only through its own methods
// (SignInAs, CreateAccount); every other part reads it.
#pragma once

#include <string>

namespace cv3 {

struct Identity {
  std::string name;
  std::string passwordDigest;    // 32 upper-case hexadecimal digits
  std::string email;             // only for account creation
  bool creatingAccount = false;  // the next connection sends CREATE instead of AUTH
};

}  // namespace cv3
