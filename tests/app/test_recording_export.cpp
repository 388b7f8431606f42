// "Export Recording As...": the recording and the new file asked for, the
// conversion in its worker behind the progress dialog, what was skipped
// said, and a cancelled export leaving no file.
#include "AppTestSupport.h"
#include "Dialogs.h"
#include "RecordingExport.h"
#include "trace/TraceFile.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace trace = qelcopn::trace;

namespace {

void WriteLog(const QString &path, long frames, const std::string &extra = {})
{
    std::string message;
    auto writer = trace::TraceFileWriter::create(path.toStdString(), trace::TraceFormat::Log, "can0", &message);
    ASSERT_NE(writer, nullptr) << message;
    trace::TraceRecord record;
    record.frame.id = 0x487;
    record.frame.length = 8;
    for (long i = 0; i < frames; ++i) {
        record.wallMicros = 1796904758'000000 + i * 1000;
        record.frame.data[0] = uint8_t(i);
        ASSERT_TRUE(writer->add(record));
    }
    ASSERT_TRUE(writer->commit(&message)) << message;
    if (!extra.empty()) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(extra.data(), qint64(extra.size()));
    }
}

TEST(RecordingExport, AsksForBothFilesWritesTheChosenFormatAndSaysWhatWasSkipped)
{
    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("run.log"));
    WriteLog(input, 3, "garbage, not a frame\n");
    const QString output = dir.filePath(QStringLiteral("run.blf"));
    std::vector<std::pair<bool, QString>> asked;
    SetFileDialogHook([&](bool forSaving, const QString &, const QString &proposed, const QString &filter) {
        asked.emplace_back(forSaving, proposed);
        EXPECT_TRUE(filter.contains(forSaving ? QStringLiteral("*.blf") : QStringLiteral("*.trc"))) << filter.toStdString();
        return forSaving ? output : input;
    });
    QStringList boxes;
    SetMessageBoxHook([&](const QString &text, const QString &, QMessageBox::StandardButtons) {
        boxes << text;
        return QMessageBox::Ok;
    });
    ExportRecordingAs(nullptr);
    SetFileDialogHook(nullptr);
    SetMessageBoxHook(nullptr);

    ASSERT_EQ(asked.size(), 2u);
    EXPECT_FALSE(asked[0].first);
    EXPECT_EQ(asked[1].second, dir.filePath(QStringLiteral("run.asc"))); // beside it, as ASC
    std::string message;
    const auto reader = trace::TraceFileReader::open(output.toStdString(), &message);
    ASSERT_NE(reader, nullptr) << message;
    EXPECT_EQ(reader->format(), trace::TraceFormat::Blf);
    trace::TraceRecord record;
    int frames = 0;
    while (reader->next(&record))
        ++frames;
    EXPECT_EQ(frames, 3);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].contains(QStringLiteral("skipped 1 line"))) << boxes[0].toStdString();
}

TEST(RecordingExport, ACancelledExportLeavesNoFile)
{
    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("long.log"));
    WriteLog(input, 300000);
    const QString output = dir.filePath(QStringLiteral("long.trc"));
    TRecordingExport exporting(input, output, trace::TraceFormat::Trc);
    exporting.Cancel();
    while (!exporting.Finished())
        QThread::msleep(5);
    EXPECT_TRUE(exporting.Outcome().cancelled);
    EXPECT_FALSE(QFileInfo::exists(output));
    EXPECT_FALSE(QFileInfo::exists(output + QStringLiteral(".tmp")));
}

} // namespace
