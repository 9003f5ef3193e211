#include "IsChapterMovie.h"

#include <QFile>
#include <filesystem>
#include <memory>

#include "engine/CVarnoMovFile.h"
#include "engine/CVarnoMovie.h"
#include "engine/FileLocator.h"

namespace brevio {

using namespace brevio::engine;

bool IsChapterMovie(const QString& path) {
    if (path.isNull()) return false;
    try {
        const auto file = std::make_unique<CVarnoMovFile>(
            FileLocator(std::filesystem::path(QFile::encodeName(path).toStdString())));
        if (!file->IsValid()) return false;
        const CVarnoMovie* structure = file->GetVarnoMovie();
        return structure != nullptr && structure->HasChapter();
    } catch (...) {
        return false;
    }
}

}  // namespace brevio
