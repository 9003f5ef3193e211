#include "ToolTestSupport.h"

#include <fstream>
#include <sstream>

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
