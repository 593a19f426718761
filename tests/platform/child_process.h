#pragma once
// Programs run as a user runs them, for the suites that test whole
// programs: started with extra environment entries, fed standard input,
// their standard output collected.
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cvimp::test {

class ChildProcess {
 public:
  // Starts `program` with `arguments` (after its own name) and `environment`
  // ("NAME=value") added to this process's; standard input is `input`,
  // written at once (small enough for the pipe's buffer) and closed unless
  // `conversing`: then send() writes more, and finish() closes it.
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment = {}, const std::string& input = {},
               bool conversing = false);
  // Kills the program if it still runs.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Call before starting the programs that interrupt() is to reach. On
  // Windows Ctrl-C goes to every program of a console: this process takes a
  // console of its own, which its programs share, and ignores Ctrl-C itself.
  static bool prepareInterrupts();
  // Ctrl-C, as the program's user presses it at its console.
  void interrupt();

  bool started() const;
  // The system's process id, while it runs.
  int pid() const;
  // Reads standard output to its end and waits for the program; true when it
  // exited with status 0.
  bool finish();
  // In a conversation: writes `text` to its standard input, and reads its
  // output up to and with the first new line that starts with `prefix`
  // (all of it when the program ends first or says nothing for two
  // minutes), giving what was read.
  void send(const std::string& text);
  std::string readUntil(const std::string& prefix);
  const std::string& output() const { return output_; }

 private:
  // What was read after what readUntil gave, through the first whole line
  // that starts with `prefix`; nothing when no such line has come yet.
  std::optional<std::string> takeAnsweredLine(const std::string& prefix) {
    for (std::size_t start = read_; start < output_.size();) {
      const std::size_t end = output_.find('\n', start);
      if (end == std::string::npos) break;
      if (output_.compare(start, prefix.size(), prefix) == 0) {
        std::string part = output_.substr(read_, end + 1 - read_);
        read_ = end + 1;
        return part;
      }
      start = end + 1;
    }
    return std::nullopt;
  }

  struct Running;  // the system's handles of the program and its pipes
  std::unique_ptr<Running> running_;
  std::size_t read_ = 0;  // of output_, what readUntil gave so far
  std::string output_;
};

// Runs a program to its end; its output, and whether it exited with 0.
struct ProgramRun {
  bool succeeded = false;
  std::string output;
};
inline ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                             const std::vector<std::string>& environment = {}, const std::string& input = {}) {
  ChildProcess child(program, arguments, environment, input);
  ProgramRun run;
  run.succeeded = child.finish();
  run.output = child.output();
  return run;
}

}  // namespace cvimp::test
