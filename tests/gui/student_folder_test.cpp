// Where the programs find student.dat: beside the executable first, then in the data folder
// of an installation.
#include "app/app_path.h"
#include "app/startup.h"

#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

class StudentFolderTest : public QObject {
    Q_OBJECT

private slots:
    void besideTheExecutableFirstThenTheInstalledDataFolder()
    {
        QTemporaryDir prefix;
        const fs::path bin = fs::path(prefix.path().toStdString()) / "bin";
        fs::create_directories(bin);
        const std::vector<fs::path> folders = kalibrix::studentFolders(bin);
        QVERIFY(folders.size() >= 2);
        QCOMPARE(folders[0], bin);
        QCOMPARE(folders[1], (bin / ".." / "share" / "kalibrix").lexically_normal());

        QCOMPARE(kalibrix::studentFolder(bin), bin);  // nowhere: the error names bin
        QVERIFY(kalibrix::Main(bin).error.starts_with("student.dat: cannot be read from " +
                                                      (bin / "student.dat").string()));

        fs::create_directories(folders[1]);
        fs::copy_file(fs::path(KALIBRIX_BIN_DIR) / "student.dat", folders[1] / "student.dat");
        QCOMPARE(kalibrix::studentFolder(bin), folders[1]);
        QVERIFY(kalibrix::Main(bin).state);

        std::ofstream(bin / "student.dat") << "header\n";  // beside wins, even when broken
        QCOMPARE(kalibrix::studentFolder(bin), bin);
        QVERIFY(!kalibrix::Main(bin).state);
    }
};

QTEST_GUILESS_MAIN(StudentFolderTest)
#include "student_folder_test.moc"
