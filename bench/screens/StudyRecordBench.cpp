// The study records window, on a database in a temporary program folder and
// the test audio device:
// - BM_LoadTransferPage: the translation page filled with 10,000 rows of the
//   current user (among 2,000 of another), against BM_QueryOnly: the same
//   query run and iterated with QSqlQuery alone, every value read, in the same
//   run. Target: at most 3x the query's time and under 300 ms.
// - BM_WaveClickToFirstBuffer: a click on the wave icon of a sentence with a
//   10 s MP3 clip, until the first buffer reaches the output device. Target:
//   under 200 ms.

#include "RichTextSuite.h"
#include "AudioDevice.h"
#include "AudioPipeDXAudio.h"
#include "DatabaseSchema.h"
#include "ProgramFolder.h"
#include "TestAudioDevice.h"
#include "UAudioConverters.h"
#include "UDataInterface.h"
#include "UDataOperaterFun.h"
#include "UFrmStudyRecord.h"
#include "UPiboComponent.h"
#include "UPiboStringGrid.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtCore/QtEndian>
#include <QtGui/QMouseEvent>
#include <QtSql/QSqlDatabase>
#include <QtSql/QSqlQuery>
#include <QtWidgets/QApplication>

#include "BenchSupport.h"
#include "PiboPictures.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>

namespace {

constexpr int OwnRows = 10000;
const QString User = QStringLiteral("O'Brien 小明");
const QString TransferSql = QStringLiteral("select id, wordcount, movecount, accuracy, sentence, endtime, kejianname, "
                                           "costtime from transferrecord where name=? order by endtime desc");

bool FillTransferRecords()
{
    QSqlDatabase db = DataInterface->Connection();
    if (!db.transaction())
        return false;
    QSqlQuery query(db);
    query.prepare(QStringLiteral("insert into transferrecord (name, wordcount, movecount, accuracy, sentence, endtime, "
                                 "costtime, kejianname) values (?, ?, ?, ?, ?, ?, ?, ?)"));
    const QDateTime start(QDate(2026, 1, 1), QTime(8, 0));
    for (int i = 0; i < OwnRows + 2000; ++i) {
        query.addBindValue(i < OwnRows ? User : QStringLiteral("Other"));
        query.addBindValue(7);
        query.addBindValue(9);
        query.addBindValue(QStringLiteral("86%"));
        query.addBindValue(QStringLiteral("I like autumn best, because the air is cool and the sky is clear."));
        query.addBindValue(DateTimeToDb(start.addSecs(i * 37)));
        query.addBindValue(41);
        query.addBindValue(QStringLiteral("第一课-谈季节"));
        if (!query.exec())
            return false;
    }
    return db.commit();
}

// A 10 s clip: a tone at 22,050 Hz, mono, as MP3.
bool StoreTenSecondClip()
{
    const QString wav = ProgramFolder() + QStringLiteral("temp/ten.wav");
    const QString mp3 = ProgramFolder() + QStringLiteral("temp/ten.mp3");
    const int rate = 22050;
    QByteArray data(rate * 10 * 2, '\0');
    for (int i = 0; i < rate * 10; ++i)
        qToLittleEndian<qint16>(qint16(6000 * std::sin(i * 2 * M_PI * 330 / rate)), data.data() + 2 * i);
    QFile file(wav);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(PcmWaveHeader(1, rate, 16, quint32(data.size())) + data);
    file.close();
    TAudioConverters converter;
    if (!converter.Convert(TAudioConverters::cmWavToMp3, wav, mp3))
        return false;
    TSentenceList sentence;
    sentence.Name = User;
    sentence.FileName = QStringLiteral("ten.wav");
    sentence.English = QStringLiteral("Ten seconds of sound.");
    sentence.China = QStringLiteral("十秒的声音。");
    sentence.Mp3File = mp3;
    sentence.OperateTime = QDateTime::currentDateTime();
    return AddSentenceList(sentence);
}

void BM_QueryOnly(benchmark::State& state)
{
    qint64 values = 0;
    for (auto _ : state) {
        QSqlQuery query(DataInterface->Connection());
        query.setForwardOnly(true);
        query.prepare(TransferSql);
        query.addBindValue(User);
        if (!query.exec()) {
            state.SkipWithError("query failed");
            return;
        }
        while (query.next())
            for (int f = 0; f < 8; ++f)
                values += query.value(f).toString().size();
    }
    benchmark::DoNotOptimize(values);
}

void BM_LoadTransferPage(benchmark::State& state)
{
    TFrmStudyRecord form;
    form.show();
    QApplication::processEvents();
    for (auto _ : state) {
        form.LoadPage(TFrmStudyRecord::pgTransfer);
        if (form.TransferIds.size() != OwnRows) {
            state.SkipWithError("the page did not fill");
            return;
        }
    }
    state.counters["rows"] = form.TransferGrid->RowCount();
}

void BM_WaveClickToFirstBuffer(benchmark::State& state)
{
    TTestAudioSystem system(1);
    SetAudioSystem(&system);
    {
        TFrmStudyRecord form;
        form.show();
        QApplication::processEvents();
        form.psbSentence->PerformClick();
        TPiboStringGrid* grid = form.SentenceGrid;
        const QPoint icon = form.WaveIconRect(grid->CellRect(1, 0)).center();
        for (auto _ : state) {
            for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                QMouseEvent event(type, QPointF(icon), grid->viewport()->mapToGlobal(QPointF(icon)), Qt::LeftButton,
                                  type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
                QCoreApplication::sendEvent(grid->viewport(), &event);
            }
            // The output's worker writes the first buffer on its own thread.
            while (system.QueuedBuffers() == 0 && form.DXAudioOut->GetOutputState() == aosBusy)
                QCoreApplication::processEvents();
            state.PauseTiming();
            if (system.QueuedBuffers() == 0)
                state.SkipWithError("nothing reached the device");
            form.DXAudioOut->StopOutput(false);
            state.ResumeTiming();
        }
    }
    SetAudioSystem(nullptr);
}

}  // namespace

BENCHMARK(BM_QueryOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_LoadTransferPage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_WaveClickToFirstBuffer)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InstallRichTextSuite();
    TAudioSystemGuard audio;
    RegisterPiboPictures();
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    SetProgramFolder(dir.path() + u'/');
    QDir().mkpath(dir.path() + QStringLiteral("/temp"));
    QString error;
    if (!CreateDatabaseFromSchema(QStringLiteral(PIBO_SCHEMA_FILE), dir.path() + QStringLiteral("/data/data.db"),
                                  &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    DataInterface = new TDataInterface();
    SystemPara.UserInfo.UserName = User;
    int result = 1;
    if (DataInterface->Connect() && FillTransferRecords() && StoreTenSecondClip())
        result = RunBenchmarks(argc, argv);
    else
        std::fprintf(stderr, "the records could not be made\n");
    delete DataInterface;
    DataInterface = nullptr;
    return result;
}
