// The trend view, driven offscreen through its public operations and its controls.
#include "views/CTrendView.h"

#include <QChart>
#include <QComboBox>
#include <QFile>
#include <QLineSeries>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace vexadesk;
using Channels = std::vector<CTrendView::Channel>;
Q_DECLARE_METATYPE(Channels)

namespace {

constexpr qint64 kT0 = 1704067200000;  // 2024-01-01T00:00:00Z

CTrendView::Channel ch(const std::string& key, const std::string& text, const char* caption = nullptr) {
    return {key, QString::fromUtf8(caption ? caption : key.c_str()), text};
}
QLineSeries* line(const CTrendView& v, int i) { return qobject_cast<QLineSeries*>(v.chart()->series().value(i)); }
QStringList names(const CTrendView& v) {
    QStringList out;
    for (auto* s : v.chart()->series()) out << s->name();
    return out;
}
QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : "<unreadable>";
}

}  // namespace

class TrendTest : public QObject {
    Q_OBJECT
private slots:
    void oneSeriesPerNumericChannel_data() {
        QTest::addColumn<Channels>("values");
        QTest::addColumn<QStringList>("legend");
        QTest::newRow("unit") << Channels{ch("AI1", " 4.000 mA---0x1000----Normal", "通道 1")} << QStringList{"通道 1 (mA)"};
        QTest::newRow("texts skipped") << Channels{ch("S1", "Close"), ch("AI1", "1.5 V"), ch("S2", "----Normal"),
                                                   ch("S3", "---"), ch("S4", ""), ch("AI2", "23.4 ℃")}
                                       << QStringList{"AI1 (V)", "AI2 (℃)"};
        QTest::newRow("none, empty key") << Channels{ch("", "1.0")} << QStringList{};
        QTest::newRow("key twice") << Channels{ch("AI1", "1 V", "a"), ch("AI1", "2 V", "b")} << QStringList{"a (V)"};
        QTest::newRow("two units") << Channels{ch("AI1", "1 V"), ch("AI1", "1 mV")} << QStringList{"AI1 (V)", "AI1 (mV)"};
    }
    void oneSeriesPerNumericChannel() {
        QFETCH(Channels, values);
        QFETCH(QStringList, legend);
        CTrendView v;
        v.addSample(kT0, values);
        v.addSample(kT0 + 800, values);
        QCOMPARE(v.sampleCount(), 2);
        QCOMPARE(names(v), legend);
        QCOMPARE(v.seriesCount(), legend.size());
        for (int i = 0; i < v.seriesCount(); ++i) QCOMPARE(line(v, i)->count(), 2);
    }

    // Times (ms after kT0) fed in order; -1 pauses, -2 resumes. A refresh without numbers still
    // counts; one not later than the last is dropped, as is anything past 15 minutes.
    void sampleCount_data() {
        QTest::addColumn<QList<qint64>>("times");
        QTest::addColumn<int>("count");
        QTest::newRow("two") << QList<qint64>{0, 800} << 2;
        QTest::newRow("clock back") << QList<qint64>{800, 800, 0} << 1;
        QTest::newRow("paused, resumed") << QList<qint64>{0, -1, 800, -2, 1600} << 2;
        QTest::newRow("15 min kept, older dropped") << QList<qint64>{0, 900000, 900001} << 2;
    }
    void sampleCount() {
        QFETCH(QList<qint64>, times);
        QFETCH(int, count);
        CTrendView v;
        auto* pause = v.findChild<QPushButton*>();  // the first button
        QVERIFY(pause && pause->isCheckable() && pause->text() == QStringLiteral("暂停"));
        v.setWindowMinutes(15);
        for (qint64 t : times) {
            if (t == -1) v.setPaused(true);
            else if (t == -2) pause->click();
            else v.addSample(kT0 + t, {ch("S1", "Close"), ch("AI1", "1 V")});
            QCOMPARE(pause->isChecked(), v.paused());
        }
        QCOMPARE(v.sampleCount(), count);
        QCOMPARE(line(v, 0)->count(), count);
    }

    void windowTrimsThePlotButExportKeepsFifteenMinutes() {
        CTrendView v;
        auto* combo = v.findChild<QComboBox*>();
        emit combo->activated(combo->findText(QStringLiteral("1 分钟")));
        QCOMPARE(v.windowMinutes(), 1);
        for (int i = 0; i < 20 * 75; ++i) v.addSample(kT0 + i * 800, {ch("AI1", std::to_string(i) + " mA")});
        QCOMPARE(v.sampleCount(), CTrendView::kMaxSamples);
        // minutes asked -> minutes taken, points plotted (both ends of the window)
        const int steps[][3] = {{1, 1, 76}, {5, 5, 376}, {15, 15, 1125}, {2, 15, 1125}, {0, 15, 1125}, {1, 1, 76}};
        for (const auto& s : steps) {
            v.setWindowMinutes(s[0]);
            QCOMPARE(v.windowMinutes(), s[1]);
            QCOMPARE(combo->currentData().toInt(), s[1]);
            QCOMPARE(line(v, 0)->count(), s[2]);
        }

        QTemporaryDir dir;
        QVERIFY(v.exportCsv(dir.filePath("t.csv")));
        const QList<QByteArray> rows = readAll(dir.filePath("t.csv")).split('\n');
        QCOMPARE(rows.size(), CTrendView::kMaxSamples + 2);  // header, rows, after the last "\n"
        QCOMPARE(rows[rows.size() - 2], QByteArray("2024-01-01T00:19:59.200Z,1499"));
    }

    void clearAndCap() {
        CTrendView v;
        Channels many(CTrendView::kMaxSeries + 5, ch("K", "1"));
        for (std::size_t i = 0; i < many.size(); ++i) many[i].key += std::to_string(i);
        v.addSample(kT0, many);
        QCOMPARE(v.seriesCount(), CTrendView::kMaxSeries);
        v.clear();
        QCOMPARE(v.sampleCount() + v.seriesCount() + v.chart()->series().size(), 0);
        v.addSample(kT0 - 800, {ch("AI3", "1 V", "old"), ch("AI4", "1 V")});
        v.addSample(kT0, {ch("AI3", "1 V", "new")});
        QCOMPARE(names(v), QStringList({"new (V)", "AI4 (V)"}));
    }

    void csvIsExact() {
        CTrendView v;
        QTemporaryDir dir;
        v.addSample(kT0, {ch("AI1", "  4.000 mA---0x1000----Normal"), ch("S1", "Close"), ch("T,1", "23.5 ℃")});
        v.addSample(kT0 + 800, {ch("AI1", "Close"), ch("T,1", "-0.25℃")});
        v.addSample(kT0 + 1600, {ch("AI1", "12.345 mA"), ch("CNT", "0x10"), ch("AI1", "1 V")});
        QVERIFY(v.exportCsv(dir.filePath("t.csv")));
        QCOMPARE(readAll(dir.filePath("t.csv")), QByteArray("time,AI1 (mA),\"T,1 (℃)\",CNT,AI1 (V)\n"
                                                            "2024-01-01T00:00:00.000Z,4,23.5,,\n"
                                                            "2024-01-01T00:00:00.800Z,,-0.25,,\n"
                                                            "2024-01-01T00:00:01.600Z,12.345,,16,1\n"));
    }

    void badExportPathFails() {
        QTemporaryDir dir;
        QFile file(dir.filePath("file"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        CTrendView v;
        v.addSample(kT0, {ch("AI1", "1 V")});
        for (const QString& path : {QString(), QStringLiteral("/nonexistent-vexa/t.csv"), dir.path(), dir.filePath("file/t.csv")}) {
            QString error;
            QVERIFY2(!v.exportCsv(path, &error) && !error.isEmpty() && !v.exportCsv(path), qPrintable(path));
        }
    }
};

QTEST_MAIN(TrendTest)
#include "TrendTest.moc"
