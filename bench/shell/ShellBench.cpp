// The main window's creation over a library of 2,000 packages in 100 folders
// and 500 media rows, compared in the same run with a plain QDir walk and
// QTreeWidget fill of the same folders and rows (target: at most 1.5 times
// the plain fill); the way from nothing to a shown login window (target:
// under 0.5 s); and 200 replacements of a hosted screen, whose counter
// PeakRssGrowthKiB must stay near 0. The program folder is made in a
// temporary folder at start.

#include "DatabaseSchema.h"
#include "PiboPictures.h"
#include "ProgramFolder.h"
#include "UDataInterface.h"
#include "UDataOperaterFun.h"
#include "UFrmLogin.h"
#include "UFrmMain.h"
#include "UStudyScreen.h"
#include "UWebLinks.h"

#include <QtCore/QDir>
#include <QtCore/QDirIterator>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtSql/QSqlQuery>
#include <QtWidgets/QApplication>
#include <QtWidgets/QTreeWidget>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

const QString User = QStringLiteral("bench");

void Touch(const QString& path)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("x");
}

bool MakeProgramFolder(const QString& root)
{
    for (const char* sub : {"data/dict", "audio", "video", "temp", "update/backup", "media"})
        QDir(root).mkpath(QString::fromLatin1(sub));
    for (int f = 0; f < 100; ++f) {
        const QString folder = root + QStringLiteral("/audio/folder%1").arg(f);
        QDir().mkpath(folder);
        for (int p = 0; p < 20; ++p)
            Touch(folder + QStringLiteral("/lesson%1.pibo").arg(p));
    }
    if (!CreateDatabaseFromSchema(QStringLiteral(PIBO_SCHEMA_FILE), root + QStringLiteral("/data/data.db")))
        return false;
    SetProgramFolder(root);
    DataInterface = new TDataInterface();
    if (!DataInterface->Connect())
        return false;
    SystemPara.UserInfo.UserName = User;
    for (int m = 0; m < 500; ++m) {
        const QString path = root + QStringLiteral("/media/clip%1.%2").arg(m).arg(m % 2 ? QStringLiteral("avi")
                                                                                        : QStringLiteral("wav"));
        Touch(path);
        TMediaFileLoad media;
        media.Name = User;
        media.MediaType = m % 2 ? 2 : 1;
        media.Path = path;
        media.FileName = QFileInfo(path).fileName();
        AddMediaFileLoad(media);
    }
    return true;
}

// The reference: the same walk and rows into plain tree widgets.
void FillPlain(QTreeWidget& library, QTreeWidget& media, const QString& folder, QTreeWidgetItem* parent)
{
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        auto* item = new QTreeWidgetItem(parent, QStringList{it.fileName()});
        if (it.fileInfo().isDir())
            FillPlain(library, media, it.filePath(), item);
    }
}

void BM_PlainWalkAndTreeFill(benchmark::State& state)
{
    for (auto _ : state) {
        QTreeWidget library;
        QTreeWidget media;
        auto* audio = new QTreeWidgetItem(&library, QStringList{QStringLiteral("audio")});
        FillPlain(library, media, ProgramFolder() + QStringLiteral("audio"), audio);
        auto* root = new QTreeWidgetItem(&media, QStringList{QStringLiteral("media")});
        QSqlQuery query(DataInterface->Connection());
        query.prepare(QStringLiteral("select path, filename from mediafileload where name=?"));
        query.addBindValue(User);
        query.exec();
        while (query.next())
            if (QFileInfo(query.value(0).toString()).isFile())
                new QTreeWidgetItem(root, QStringList{query.value(1).toString()});
        library.expandAll();
        media.expandAll();
        benchmark::DoNotOptimize(library.topLevelItemCount());
    }
}
BENCHMARK(BM_PlainWalkAndTreeFill)->Unit(benchmark::kMillisecond);

void BM_MainWindowCreation(benchmark::State& state)
{
    for (auto _ : state) {
        TFrmMain main;
        benchmark::DoNotOptimize(main.tvMain->topLevelItemCount());
    }
}
BENCHMARK(BM_MainWindowCreation)->Unit(benchmark::kMillisecond);

void BM_StartToLoginWindow(benchmark::State& state)
{
    for (auto _ : state) {
        auto data = std::make_unique<TDataInterface>();
        data->Connect();
        TFrmLogin login;
        login.show();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(login.UserListRowCount());
    }
}
BENCHMARK(BM_StartToLoginWindow)->Unit(benchmark::kMillisecond);

class TBenchScreen : public TForm, public TStudyScreen {
public:
    explicit TBenchScreen(QWidget* parent) : TForm(parent) { FBuffer.resize(256 * 1024); }
    QString MediaFile() const override { return FMediaFile; }
    void SetMediaFile(const QString& path) override { FMediaFile = path; }
    void ReloadFile() override {}
    void ReloadSubtitle() override {}
    void HandleHotKey(qint32) override {}

private:
    QString FMediaFile;
    QByteArray FBuffer;  // a screen's own data, so that a leak would show
};

void BM_ReplaceScreens200Times(benchmark::State& state)
{
    for (const QString& name : {QStringLiteral("FrmBrowseRecite"), QStringLiteral("FrmVideoBrowseRecite"),
                                QStringLiteral("FrmSingleSentence"), QStringLiteral("FrmVSingleSentence")})
        RegisterFormFactory(name, [](QWidget* parent) { return new TBenchScreen(parent); });
    TFrmMain main;
    main.PageButtonClick(main.ppbMedia);
    QTreeWidgetItem* video = main.tvMedia->topLevelItem(main.MediaRootIndex(2))->child(0);
    main.tvMedia->setCurrentItem(video);
    const auto replace = [&main](int times) {
        for (int i = 0; i < times; ++i) {
            main.ModeButtonClick(1 + i % 2);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    };
    replace(20);  // warm-up: caches of the first screens
    long growth = 0;
    for (auto _ : state) {
        ResetPeakRss();
        const long before = PeakRssKiB();
        replace(200);
        growth = PeakRssKiB() - before;
    }
    state.counters["PeakRssGrowthKiB"] = double(growth);
}
BENCHMARK(BM_ReplaceScreens200Times)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RegisterPiboPictures();
    RegisterStudyScreens();
    SetStartPageAddress(QStringLiteral("http://127.0.0.1:1/"));
    QTemporaryDir dir;
    if (!dir.isValid() || !MakeProgramFolder(dir.path()))
        return 2;
    const int result = RunBenchmarks(argc, argv);
    delete DataInterface;
    DataInterface = nullptr;
    return result;
}
