// Helpers shared by the tests.
#include "test_support.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <memory>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "dat/combined_dat.h"
#include "dat/list_dats.h"
#include "dat/list_text.h"
#include "dat/list_xml.h"
#include "run/scan_loop.h"

TempDir::TempDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/softlist2dat-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = buffer.data();
    chmod(path_.c_str(), 0777);
}

static void removeTree(const std::string& path)
{
    struct stat info;
    if (lstat(path.c_str(), &info) != 0)
        return;
    if (S_ISDIR(info.st_mode)) {
        chmod(path.c_str(), 0700);
        for (const std::string& name : listDirectory(path))
            removeTree(path + "/" + name);
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

TempDir::~TempDir() { removeTree(path_); }

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool exists(const std::string& path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

std::vector<std::string> listDirectory(const std::string& path)
{
    std::vector<std::string> names;
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr)
        return names;
    while (struct dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// The conversion through a writer of type Writer, made on `out`.
template <typename Writer, typename... Arguments>
static std::string convertThrough(const std::string& input, long long* lineCount, bool disks, Arguments... arguments)
{
    // Heap-allocated: the reader's and writer's buffers are large.
    auto in = std::make_unique<TextInput>();
    auto out = std::make_unique<TextOutput>();
    auto state = std::make_unique<ScanState>();
    std::string dat;
    auto writer = std::make_unique<Writer>(*out, arguments..., &dat);
    convertMemory(*state, *in, *writer, input.data(), input.size(), disks);
    if (lineCount != nullptr)
        *lineCount = state->lineCount;
    return dat;
}

std::string convertInMemory(const std::string& input, long long* lineCount, bool disks, DatForm form)
{
    switch (form) {
    case DatForm::Combined:
        return convertThrough<CombinedDat>(input, lineCount, disks, std::string_view());
    case DatForm::ListText:
        return convertThrough<ListDats<ListText>>(input, lineCount, disks, "out", std::string_view());
    case DatForm::ListXml:
        return convertThrough<ListDats<ListXml>>(input, lineCount, disks, "out", std::string_view());
    }
    return "";
}

std::vector<std::string> piecesOneLineAtATime(const std::string& bytes)
{
    std::string text;
    for (std::size_t i = 0; i < bytes.size();) {
        std::size_t crLf = std::min(bytes.find("\r\n", i), bytes.size());
        text.append(bytes, i, crLf - i);
        i = crLf + 1;
    }
    std::vector<std::string> pieces;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t end = std::min({text.find('\n', i) + 1, i + 2047, text.size()});
        pieces.push_back(text.substr(i, end - i));
        i = end;
    }
    return pieces;
}

std::string crlf(const std::string& text)
{
    std::string result;
    for (char c : text) {
        if (c == '\n')
            result += '\r';
        result += c;
    }
    return result;
}

std::string datHeader()
{
    return crlf("clrmamepro (\n"
                "\tname \"MESS Software Lists\"\n"
                "\tdescription \"All MESS Software Lists Combined\"\n"
                "\tcategory \"MESS\"\n"
                "\tauthor \"Tobrek's Grotwick V0.01\"\n"
                ")\n\n");
}

bool toolIsWrapped()
{
    const char* command = std::getenv("SOFTLIST2DAT_TOOL");
    return command != nullptr && *command != '\0';
}

// The command that starts the tool: SOFTLIST2DAT_TOOL split at spaces, or
// the binary built beside the tests.
static std::vector<std::string> toolCommand()
{
    std::vector<std::string> words;
    if (!toolIsWrapped())
        return {SOFTLIST2DAT_BINARY};
    std::istringstream command(std::getenv("SOFTLIST2DAT_TOOL"));
    for (std::string word; command >> word;)
        words.push_back(word);
    return words;
}

bool toolIsWindowsBuild()
{
    return toolIsWrapped() && toolCommand().back().ends_with(".exe");
}

// Starts the tool in `directory`, its stdout and stderr going to files in
// `capture`; returns its process id.
static pid_t startTool(const std::string& directory, const RunOptions& options, const TempDir& capture)
{
    std::vector<std::string> command = toolCommand();
    command.insert(command.end(), options.arguments.begin(), options.arguments.end());
    std::vector<char*> argv;
    for (std::string& word : command)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::string outPath = capture.file("stdout");
    std::string errPath = capture.file("stderr");
    pid_t child = fork();
    if (child == 0) {
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (out < 0 || err < 0 || chdir(directory.c_str()) != 0)
            _exit(120);
        dup2(out, 1);
        dup2(err, 2);
        int ends[2];
        if (options.closedStdout && pipe(ends) == 0) {
            close(ends[0]);
            dup2(ends[1], 1);
        }
        if (options.fileSizeLimit >= 0) {
            struct rlimit limit;
            limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(options.fileSizeLimit);
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (options.asNobody && getuid() == 0) {
            if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
                _exit(121);
        }
        execv(argv[0], argv.data());
        _exit(122);
    }
    return child;
}

StartedTool startTool(const std::string& directory, const RunOptions& options)
{
    std::fflush(stdout);
#ifdef __GLIBC__
    // The child's peak resident memory starts at what it inherits from this
    // process: freed heap memory goes back first, so that it measures the tool.
    malloc_trim(0);
#endif
    StartedTool tool;
    tool.capture = std::make_unique<TempDir>();
    tool.pid = startTool(directory, options, *tool.capture);
    return tool;
}

std::string stderrSoFar(const StartedTool& tool)
{
    return readFile(tool.capture->file("stderr"));
}

ProcessResult waitForTool(StartedTool& tool, int timeoutMs)
{
    int status = 0;
    struct rusage usage;
    for (int waited = 0; timeoutMs >= 0 && wait4(tool.pid, &status, WNOHANG, &usage) == 0; waited++) {
        if (waited == timeoutMs)
            kill(tool.pid, SIGKILL);
        usleep(1000);
    }
    if (timeoutMs < 0)
        wait4(tool.pid, &status, 0, &usage);
    ProcessResult result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.maxRssKb = usage.ru_maxrss;
    result.out = readFile(tool.capture->file("stdout"));
    result.err = readFile(tool.capture->file("stderr"));
    return result;
}

std::vector<ProcessResult> runToolsAtOnce(const std::vector<std::string>& directories, const RunOptions& options)
{
    std::vector<StartedTool> tools;
    for (const std::string& directory : directories)
        tools.push_back(startTool(directory, options));
    if (options.interruptAfterMs >= 0) {
        usleep(static_cast<useconds_t>(options.interruptAfterMs) * 1000);
        for (const StartedTool& tool : tools)
            kill(tool.pid, options.interruptSignal);
    }
    std::vector<ProcessResult> results;
    for (StartedTool& tool : tools)
        results.push_back(waitForTool(tool, options.timeoutMs));
    return results;
}

ProcessResult runTool(const std::string& directory, const RunOptions& options)
{
    return runToolsAtOnce({directory}, options)[0];
}
