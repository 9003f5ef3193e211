#include "tool_movie.h"

namespace brevio::tool {

const char* DescribeOpenResult(int code) {
    switch (code) {
        case 0:
            return "opened";
        case 3:
            return "not a Brevio movie";
        case 4:
            return "too short to edit";
        case 5:
            return "unreadable or invalid movie file";
        case 7:
            return "out of memory";
        default:
            return "failure";
    }
}

}  // namespace brevio::tool
