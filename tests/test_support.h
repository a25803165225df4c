// Helpers shared by the tests: temporary directories, whole-file reads and
// writes, the in-memory conversion, and running the tool as a process.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "run/run.h"

// A fresh directory under the system's temporary directory, removed with all
// it holds when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);
bool exists(const std::string& path);

// The names in a directory, sorted, without "." and "..".
std::vector<std::string> listDirectory(const std::string& path);

// Runs the whole scan (reader, classifier, handlers, writer) on `input` in
// memory and returns the DAT bytes; `lineCount` receives the lines counted.
// With `disks`, disk lines become disk entries. With a list form, the list
// DATs one after the other, then the skipped lists' stderr lines.
std::string convertInMemory(const std::string& input, long long* lineCount = nullptr, bool disks = false,
                            DatForm form = DatForm::Combined);

// The pieces of `bytes` as a plain text-mode reader takes them, one line at a
// time: CR LF becomes LF, then each piece runs to its LF or to 2047 bytes.
std::vector<std::string> piecesOneLineAtATime(const std::string& bytes);

// The DAT's fixed header, as written to the file (CR LF line ends).
std::string datHeader();

// Turns LF into CR LF, for writing expectations in plain text.
std::string crlf(const std::string& text);

struct ProcessResult {
    int status = -1;   // exit status, or 128 + signal number
    std::string out;
    std::string err;
    long maxRssKb = 0;   // the child's peak resident memory
};

struct RunOptions {
    long fileSizeLimit = -1;   // RLIMIT_FSIZE for the child, -1 for none
    bool asNobody = false;     // drop root to uid/gid 65534 before exec
    bool closedStdout = false; // stdout is a pipe whose reading end is closed
    std::vector<std::string> arguments;   // given to the tool after its name
    int interruptAfterMs = -1;  // a signal this long after the start, -1 for none
    int interruptSignal = 2;    // which: SIGINT unless told
    int timeoutMs = -1;         // killed (SIGKILL) when still running this long after its wait began
};

// True when the tool under test runs through a wrapper command (such as Wine
// for the Windows build), named by SOFTLIST2DAT_TOOL, instead of the build's
// own binary.
bool toolIsWrapped();

// True when that command runs the Windows build (its program ends in .exe).
bool toolIsWindowsBuild();

// Runs the tool in `directory`, with the options' arguments (none by default).
ProcessResult runTool(const std::string& directory, const RunOptions& options = {});

// A run of the tool started, not yet waited for.
struct StartedTool {
    int pid = -1;
    std::unique_ptr<TempDir> capture;   // its stdout and stderr
};

// Starts the tool in `directory` (interruptAfterMs is not used).
StartedTool startTool(const std::string& directory, const RunOptions& options);

// What it has printed on stderr so far.
std::string stderrSoFar(const StartedTool& tool);

// Waits for it to end: killed when still running after `timeoutMs` (-1:
// no limit).
ProcessResult waitForTool(StartedTool& tool, int timeoutMs = -1);

// Starts the tool in each of `directories` at once, with the same options,
// and returns their results in that order once all have ended.
std::vector<ProcessResult> runToolsAtOnce(const std::vector<std::string>& directories, const RunOptions& options = {});
