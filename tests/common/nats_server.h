// A nats-server on 127.0.0.1 for tests, started with the object and killed with it. The test
// target defines NATS_SERVER_PROGRAM.
#pragma once

#include <regex>
#include <string>

#include "common/child_program.h"

namespace cv3::testing {

class NatsServer {
 public:
  // Port 0 lets the server choose. port() is 0 when it did not start.
  explicit NatsServer(int port)
      : program_(NATS_SERVER_PROGRAM,
                 {"-a", "127.0.0.1", "-p", port == 0 ? "-1" : std::to_string(port)}) {
    std::smatch match;
    program_.ReadUntil(
        std::regex("client connections on 127\\.0\\.0\\.1:(\\d+)[^]*Server is ready"), &match);
    if (match.size() == 2) port_ = std::stoi(match[1].str());
  }
  int port() const { return port_; }
  std::string url() const { return "nats://127.0.0.1:" + std::to_string(port_); }

 private:
  ChildProgram program_;
  int port_ = 0;
};

}  // namespace cv3::testing
