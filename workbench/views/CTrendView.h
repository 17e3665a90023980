#pragma once
// The trend of a sub module's numeric process values: one line per channel over the last 1, 5
// or 15 minutes, fed with each data refresh. Up to 15 minutes of refreshes are kept for the CSV
// export whatever the plotted window; older ones, and anything beyond kMaxSamples, are dropped.
#include <QString>
#include <QWidget>

#include <deque>
#include <string>
#include <vector>

class QChart;
class QChartView;
class QComboBox;
class QDateTimeAxis;
class QLineSeries;
class QPushButton;
class QValueAxis;

namespace vexadesk {

class CTrendView : public QWidget {
    Q_OBJECT
public:
    explicit CTrendView(QWidget* parent = nullptr);
    ~CTrendView() override;

    struct Channel {
        std::string key;
        QString caption;
        std::string text;  // as rendered by the device library, e.g. "12.345 mA---0x04d2"
    };

    static constexpr int kMaxMinutes = 15;
    static constexpr int kRefreshMs = 800;
    static constexpr int kMaxSamples = kMaxMinutes * 60 * 1000 / kRefreshMs;
    // A module with more numeric values than this would give an unreadable plot; the rest of
    // its channels are left out.
    static constexpr int kMaxSeries = 64;

    // One refresh's values; texts that are not numbers are skipped, as is a key given twice.
    // Ignored while paused and when not later than the last sample taken (a clock set back).
    void addSample(qint64 msecsSinceEpoch, const std::vector<Channel>& values);
    void clear();  // e.g. when another module is selected
    // 1, 5 or 15; other values are ignored. Older points leave the plot, not the export.
    void setWindowMinutes(int minutes);
    int windowMinutes() const { return windowMinutes_; }
    void setPaused(bool on);
    bool paused() const { return paused_; }
    int seriesCount() const { return static_cast<int>(series_.size()); }
    int sampleCount() const { return static_cast<int>(samples_.size()); }
    // Header "time,<key> (<unit>),..." (no parentheses without a unit), one row per refresh
    // with its UTC time in ISO 8601 with milliseconds, an empty cell where a channel had no
    // number. UTF-8, "\n" line ends, fields quoted only when they hold a comma, quote or newline.
    bool exportCsv(const QString& path, QString* error = nullptr) const;

    QChart* chart() const;  // for tests and screenshots

signals:
    void pausedChanged(bool on);

private:
    // A channel is its key and unit: a range switch from mV to V starts a new line rather than
    // mixing the two on one.
    struct Series {
        std::string key;
        std::string unit;
        QString caption;
        QLineSeries* line = nullptr;
    };
    struct Sample {
        qint64 t = 0;
        std::vector<double> values;  // by series index; NaN, or missing at the end: no number
    };

    int seriesFor(const Channel& c, const std::string& unit);
    static QString legendName(const QString& caption, const std::string& unit);
    void dropOld();
    void trimPlot();
    void replot();  // the plot from the kept samples, after a change of window
    void updateAxes();
    void exportWithDialog();

    QChart* chart_ = nullptr;
    QChartView* view_ = nullptr;
    QDateTimeAxis* axisX_ = nullptr;
    QValueAxis* axisY_ = nullptr;
    QPushButton* pause_ = nullptr;
    QComboBox* window_ = nullptr;
    QPushButton* export_ = nullptr;
    QPushButton* clear_ = nullptr;

    std::vector<Series> series_;
    std::deque<Sample> samples_;
    int windowMinutes_ = 5;
    bool paused_ = false;
};

}  // namespace vexadesk
