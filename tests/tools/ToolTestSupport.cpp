#include "ToolTestSupport.h"

#include <spawn.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

extern char** environ;

namespace brevio::tooltest {

namespace {

// The value after "key": in a line, as text (string values without quotes).
bool Field(const std::string& line, const std::string& key, std::string& value) {
    auto at = line.find("\"" + key + "\": ");
    if (at == std::string::npos) return false;
    at += key.size() + 4;
    if (at < line.size() && line[at] == '"') {
        auto end = line.find('"', at + 1);
        value = line.substr(at + 1, end - at - 1);
        return true;
    }
    auto end = line.find_first_of(",}", at);
    value = line.substr(at, end - at);
    return true;
}

int64_t Number(const std::string& line, const std::string& key) {
    std::string v;
    return Field(line, key, v) ? std::stoll(v) : -1;
}

}  // namespace

testmovies::MovieOptions LargeMovie() {
    testmovies::MovieOptions o;
    o.units = 6;
    o.framesPerUnit = 150;
    o.width = 1920;
    o.height = 1080;
    o.mjpeg = true;
    o.audio = testmovies::Audio::Pcm;
    return o;
}

pid_t Spawn(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = arguments;
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    pid_t pid = 0;
    return posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) == 0 ? pid : -1;
}

int64_t WritingSize(pid_t pid, const std::filesystem::path& dir) {
    std::error_code ec;
    const std::string prefix = dir.string() + "/";
    for (const auto& fd :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        const auto target = std::filesystem::read_symlink(fd.path(), ec);
        if (ec || target.string().rfind(prefix, 0) != 0) continue;
        struct stat st {};
        if (::stat(fd.path().c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_size;
    }
    return -1;
}

CommandResult Brevio(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {testmovies::BrevioBinary()};
    argv.insert(argv.end(), args.begin(), args.end());
    return testmovies::RunCommand(argv);
}

MovieInfo Info(const std::filesystem::path& movie) {
    MovieInfo info;
    auto r = Brevio({"info", "--json", movie.string()});
    std::istringstream in(r.out);
    std::string line;
    if (!std::getline(in, line)) return info;
    info.result = int(Number(line, "result"));
    if (r.exitCode != info.result) info.result = -100 - r.exitCode;  // mismatch shows in tests
    std::string v;
    info.chapterMovie = Field(line, "chapter_movie", v) && v == "true";
    info.timeScale = int(Number(line, "time_scale"));
    info.totalTicks = Number(line, "total_ticks");
    info.unitDurationTicks = Number(line, "unit_duration_ticks");
    while (std::getline(in, line)) {
        if (line.find("\"number\"") == std::string::npos) continue;
        UnitRow u;
        u.number = unsigned(Number(line, "number"));
        u.start = Number(line, "start_ticks");
        u.originalStart = Number(line, "original_start_ticks");
        u.duration = Number(line, "duration_ticks");
        Field(line, "title", u.title);
        info.units.push_back(u);
    }
    return info;
}

std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace brevio::tooltest
