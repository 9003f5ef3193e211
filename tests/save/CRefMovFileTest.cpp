// The temporary reference-movie path: chosen once in <temp>/BrevioEdit, unique, deleted with the
// object.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <fstream>

#include "TestHarness.h"
#include "save/CRefMovFile.h"

namespace brevio {
namespace {

// Points TMPDIR at a folder of the test while it lives.
class TempFolderScope {
public:
    explicit TempFolderScope(const QString& folder) : previous_(qgetenv("TMPDIR")) {
        qputenv("TMPDIR", folder.toLocal8Bit());
    }
    ~TempFolderScope() { qputenv("TMPDIR", previous_); }

private:
    QByteArray previous_;
};

TEST(CRefMovFile, TwoFilesGetTwoPathsInTheSameFolder) {
    test::TempDir temp(QStringLiteral("refmov"));
    TempFolderScope scope(temp.path());
    const QString folder = temp.path() + QStringLiteral("/BrevioEdit");
    QString firstPath, secondPath;
    {
        CRefMovFile first;
        CRefMovFile second;
        EXPECT_TRUE(first.GetPath().isEmpty());
        ASSERT_TRUE(first.MakeTempName());
        ASSERT_TRUE(second.MakeTempName());
        firstPath = first.GetPath();
        secondPath = second.GetPath();
        EXPECT_NE(firstPath, secondPath);
        const QRegularExpression name(QStringLiteral("^BRV[0-9A-F]{4}\\.mov$"));
        for (const QString& path : {firstPath, secondPath}) {
            const QFileInfo info(path);
            EXPECT_EQ(info.absolutePath(), folder);
            EXPECT_TRUE(name.match(info.fileName()).hasMatch()) << info.fileName().toStdString();
        }
        // The path is chosen once.
        ASSERT_TRUE(first.MakeTempName());
        EXPECT_EQ(first.GetPath(), firstPath);
        // No temporary .tmp names are left behind.
        EXPECT_TRUE(QDir(folder).entryList({QStringLiteral("*.tmp")}, QDir::Files).isEmpty());

        // The file written there is removed with the object.
        std::ofstream(firstPath.toStdString()) << "reference movie";
    }
    EXPECT_FALSE(QFile::exists(firstPath));
    EXPECT_FALSE(QFile::exists(secondPath));  // never written: deleted quietly
    EXPECT_TRUE(QFileInfo(folder).isDir());   // the folder stays
}

TEST(CRefMovFile, ManyNamesNeverCollide) {
    test::TempDir temp(QStringLiteral("refmov-many"));
    TempFolderScope scope(temp.path());
    std::vector<std::unique_ptr<CRefMovFile>> files;
    QSet<QString> paths;
    for (int i = 0; i < 50; ++i) {
        files.push_back(std::make_unique<CRefMovFile>());
        ASSERT_TRUE(files.back()->MakeTempName());
        paths.insert(files.back()->GetPath());
    }
    EXPECT_EQ(paths.size(), 50);
    files.clear();
    EXPECT_TRUE(QDir(temp.path() + QStringLiteral("/BrevioEdit")).isEmpty());
}

TEST(CRefMovFile, AFolderThatCannotBeMadeLeavesAnEmptyPath) {
    test::TempDir temp(QStringLiteral("refmov-fail"));
    const QString file = temp.file(QStringLiteral("plain-file"));
    std::ofstream(file.toStdString()) << "x";
    TempFolderScope scope(file);  // a file where the temporary folder should be
    CRefMovFile ref;
    EXPECT_FALSE(ref.MakeTempName());
    EXPECT_TRUE(ref.GetPath().isEmpty());
}

TEST(CRefMovFile, ATemporaryFolderPathThatIsTooLongLeavesAnEmptyPath) {
    TempFolderScope scope(QStringLiteral("/") + QString(300, u'a'));
    CRefMovFile ref;
    EXPECT_FALSE(ref.MakeTempName());
    EXPECT_TRUE(ref.GetPath().isEmpty());
}

}  // namespace
}  // namespace brevio
