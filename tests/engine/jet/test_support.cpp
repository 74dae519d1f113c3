#include "test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/oracles.h"

namespace qv::jet::testing {

namespace fs = std::filesystem;

std::string CorpusDir() {
  return std::string(QV_SHARED_DIR) + "/corpus/access";
}
std::string OracleScript() {
  return qv::testing::MdbReaderScript();
}
std::string JetdumpPath() {
  return std::string(QV_BINARY_DIR) + "/tools/jetdump/jetdump";
}

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> out;
  std::error_code ec;
  fs::path root(CorpusDir());
  if (!fs::exists(root, ec)) return out;
  for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (ec) break;
    auto ext = it->path().extension().string();
    if (it->is_regular_file() && (ext == ".mdb" || ext == ".accdb"))
      out.push_back(fs::relative(it->path(), root).string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::map<std::string, std::string> Passwords() {
  std::map<std::string, std::string> out;
  std::ifstream in(CorpusDir() + "/passwords.tsv");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    auto a = line.find('\t');
    if (a == std::string::npos) continue;
    auto b = line.find('\t', a + 1);
    out[line.substr(0, a)] = line.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
  }
  return out;
}

RunResult RunCommand(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  RunResult r;
  int outPipe[2], errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return r;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    close(outPipe[0]);
    close(errPipe[0]);
    for (const auto& e : env) putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  int open = 2;
  char buf[65536];
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      } else {
        (i == 0 ? r.out : r.err).append(buf, static_cast<std::size_t>(n));
      }
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return r;
}

std::string JsonUnescape(const std::string& q) {
  std::string out;
  std::size_t i = q.size() >= 2 && q.front() == '"' ? 1 : 0;
  std::size_t end = q.size() >= 2 && q.back() == '"' ? q.size() - 1 : q.size();
  auto put = [&](unsigned cp) {
    if (cp < 0x80)
      out.push_back(static_cast<char>(cp));
    else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xc0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
    } else {
      out.push_back(static_cast<char>(0xe0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
    }
  };
  for (; i < end; ++i) {
    char c = q[i];
    if (c != '\\' || i + 1 >= end) {
      out.push_back(c);
      continue;
    }
    char e = q[++i];
    switch (e) {
      case 'n':
        out.push_back('\n');
        break;
      case 't':
        out.push_back('\t');
        break;
      case 'r':
        out.push_back('\r');
        break;
      case 'b':
        out.push_back('\b');
        break;
      case 'f':
        out.push_back('\f');
        break;
      case 'u':
        if (i + 4 < end) {
          put(static_cast<unsigned>(std::stoul(q.substr(i + 1, 4), nullptr, 16)));
          i += 4;
        }
        break;
      default:
        out.push_back(e);
    }
  }
  return out;
}

std::vector<std::string> SplitJsonArray(const std::string& line) {
  std::vector<std::string> out;
  if (line.size() < 2) return out;
  int depth = 0;
  bool inString = false;
  std::string cur;
  for (std::size_t i = 1; i + 1 < line.size(); ++i) {
    char c = line[i];
    if (inString) {
      cur.push_back(c);
      if (c == '\\' && i + 1 < line.size())
        cur.push_back(line[++i]);
      else if (c == '"')
        inString = false;
      continue;
    }
    if (c == '"') inString = true;
    if (c == '[' || c == '{') ++depth;
    if (c == ']' || c == '}') --depth;
    if (c == ',' && depth == 0) {
      out.push_back(cur);
      cur.clear();
      continue;
    }
    cur.push_back(c);
  }
  if (!cur.empty() || !out.empty()) out.push_back(cur);
  return out;
}

std::vector<DumpTable> ParseDump(const std::string& text) {
  std::vector<DumpTable> out;
  std::istringstream in(text);
  std::string line;
  bool inTables = false;
  std::vector<std::string>* list = nullptr;
  auto strip = [](std::string s) {
    while (!s.empty() && s.back() == ',') s.pop_back();
    return s;
  };
  while (std::getline(in, line)) {
    if (!inTables) {
      inTables = line == " \"tables\": [";
      continue;
    }
    if (line == "  {") {
      out.emplace_back();
      continue;
    }
    if (out.empty()) continue;
    DumpTable& t = out.back();
    if (list) {
      if (line.rfind("    ", 0) == 0) {
        list->push_back(strip(line.substr(4)));
        continue;
      }
      list = nullptr;
      continue;  // the closing "   ]"
    }
    if (line.rfind("   \"name\": ", 0) == 0)
      t.name = JsonUnescape(strip(line.substr(11)));
    else if (line.rfind("   \"rowCount\": ", 0) == 0)
      t.rowCount = strip(line.substr(15));
    else if (line.rfind("   \"columns\": [", 0) == 0) {
      if (strip(line).back() != ']') list = &t.columns;
    } else if (line.rfind("   \"rows\": [", 0) == 0) {
      if (strip(line).back() != ']') list = &t.rows;
    } else if (line.rfind("   \"error\": ", 0) == 0) {
      t.hasError = true;
      t.error = JsonUnescape(strip(line.substr(12)));
    }
  }
  return out;
}

}  // namespace qv::jet::testing
