#include "engine/core/secrets.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

#include "engine/core/error.h"

namespace qv {

void KeepSecretsOutOfCoreDumps() {
  ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
  struct rlimit none {};
  ::setrlimit(RLIMIT_CORE, &none);
}

namespace {

std::string FirstLine(std::istream& in) {
  std::string line;
  std::getline(in, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string Prompt() {
  int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
  if (tty < 0) throw Error(errc::kInvalidArgument, "No terminal to ask the password on.");
  const char question[] = "Password: ";
  if (::write(tty, question, sizeof question - 1) < 0) {
  }
  termios old{};
  const bool haveTerm = ::tcgetattr(tty, &old) == 0;
  if (haveTerm) {
    termios quiet = old;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    ::tcsetattr(tty, TCSAFLUSH, &quiet);
  }
  std::string password;
  char c;
  while (::read(tty, &c, 1) == 1 && c != '\n') password += c;
  if (haveTerm) ::tcsetattr(tty, TCSAFLUSH, &old);
  if (::write(tty, "\n", 1) < 0) {
  }
  ::close(tty);
  if (!password.empty() && password.back() == '\r') password.pop_back();
  return password;
}

}  // namespace

bool TakePasswordOption(const std::string& option, std::string& password) {
  if (option.rfind("--password=", 0) == 0)
    throw Error(errc::kInvalidArgument,
                "A password on the command line is visible to every user of the machine; give it with "
                "--password-file=FILE, --password-env=NAME or --password-prompt.");
  if (option.rfind("--password-file=", 0) == 0) {
    const std::string file = option.substr(16);
    if (file == "-") {
      password = FirstLine(std::cin);
    } else {
      std::ifstream in(file);
      if (!in) throw Error(errc::kInvalidArgument, "Cannot read the password file '" + file + "'.", file);
      password = FirstLine(in);
    }
  } else if (option.rfind("--password-env=", 0) == 0) {
    const std::string name = option.substr(15);
    const char* value = std::getenv(name.c_str());
    if (!value) throw Error(errc::kInvalidArgument, "The environment variable '" + name + "' is not set.");
    password = value;
  } else if (option == "--password-prompt") {
    password = Prompt();
  } else {
    return false;
  }
  KeepSecretsOutOfCoreDumps();
  return true;
}

}  // namespace qv
