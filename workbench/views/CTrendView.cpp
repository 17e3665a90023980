#include "views/CTrendView.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLegend>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/EngineeringValue.h"

namespace vexadesk {

namespace {

constexpr qint64 kMinuteMs = 60 * 1000;
constexpr int kWindows[] = {1, 5, 15};

QString csvField(const QString& s) {
    if (!s.contains(QLatin1Char(',')) && !s.contains(QLatin1Char('"')) && !s.contains(QLatin1Char('\n')) &&
        !s.contains(QLatin1Char('\r')))
        return s;
    QString q = s;
    q.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

double valueAt(const std::vector<double>& values, std::size_t index) {
    return index < values.size() ? values[index] : std::numeric_limits<double>::quiet_NaN();
}

}  // namespace

CTrendView::CTrendView(QWidget* parent) : QWidget(parent) {
    chart_ = new QChart;
    chart_->legend()->setVisible(true);
    chart_->legend()->setAlignment(Qt::AlignRight);
    chart_->setAnimationOptions(QChart::NoAnimation);  // a refresh every 800 ms outruns animations
    axisX_ = new QDateTimeAxis;
    axisX_->setFormat(QStringLiteral("HH:mm:ss"));
    axisX_->setTickCount(7);
    axisY_ = new QValueAxis;
    axisY_->setLabelFormat(QStringLiteral("%.4g"));
    chart_->addAxis(axisX_, Qt::AlignBottom);
    chart_->addAxis(axisY_, Qt::AlignLeft);

    view_ = new QChartView(chart_, this);  // owns the chart
    view_->setRenderHint(QPainter::Antialiasing);

    pause_ = new QPushButton(tr("暂停"), this);
    pause_->setCheckable(true);
    window_ = new QComboBox(this);
    for (int m : kWindows) window_->addItem(tr("%1 分钟").arg(m), m);
    export_ = new QPushButton(tr("导出 CSV…"), this);
    clear_ = new QPushButton(tr("清除"), this);

    auto* controls = new QHBoxLayout;
    controls->addWidget(pause_);
    controls->addWidget(window_);
    controls->addStretch(1);
    controls->addWidget(export_);
    controls->addWidget(clear_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(controls);
    layout->addWidget(view_, 1);

    connect(pause_, &QPushButton::toggled, this, &CTrendView::setPaused);
    connect(window_, &QComboBox::activated, this,
            [this](int index) { setWindowMinutes(window_->itemData(index).toInt()); });
    connect(export_, &QPushButton::clicked, this, &CTrendView::exportWithDialog);
    connect(clear_, &QPushButton::clicked, this, &CTrendView::clear);

    window_->setCurrentIndex(window_->findData(windowMinutes_));
    updateAxes();
}

CTrendView::~CTrendView() = default;

QChart* CTrendView::chart() const { return chart_; }

QString CTrendView::legendName(const QString& caption, const std::string& unit) {
    return unit.empty() ? caption : QStringLiteral("%1 (%2)").arg(caption, QString::fromStdString(unit));
}

int CTrendView::seriesFor(const Channel& c, const std::string& unit) {
    for (std::size_t i = 0; i < series_.size(); ++i) {
        if (series_[i].key == c.key && series_[i].unit == unit) return static_cast<int>(i);
    }
    if (series_.size() >= static_cast<std::size_t>(kMaxSeries)) return -1;
    auto* line = new QLineSeries;
    line->setName(legendName(c.caption, unit));
    chart_->addSeries(line);  // the chart owns it
    line->attachAxis(axisX_);
    line->attachAxis(axisY_);
    series_.push_back({c.key, unit, c.caption, line});
    return static_cast<int>(series_.size()) - 1;
}

void CTrendView::addSample(qint64 msecsSinceEpoch, const std::vector<Channel>& values) {
    if (paused_) return;
    if (!samples_.empty() && msecsSinceEpoch <= samples_.back().t) return;

    Sample sample;
    sample.t = msecsSinceEpoch;
    std::vector<bool> taken;
    for (const auto& c : values) {
        double v = 0;
        std::string unit;
        if (c.key.empty() || !parseEngineering(c.text, v, unit)) continue;
        const int index = seriesFor(c, unit);
        if (index < 0) continue;
        const auto i = static_cast<std::size_t>(index);
        if (i >= taken.size()) taken.resize(i + 1, false);
        if (taken[i]) continue;  // the first of a key given twice counts
        taken[i] = true;
        auto& s = series_[i];
        if (s.caption != c.caption) {
            s.caption = c.caption;
            s.line->setName(legendName(s.caption, s.unit));
        }
        if (i >= sample.values.size()) sample.values.resize(i + 1, std::numeric_limits<double>::quiet_NaN());
        sample.values[i] = v;
        series_[i].line->append(static_cast<qreal>(msecsSinceEpoch), v);
    }
    samples_.push_back(std::move(sample));
    dropOld();
    trimPlot();
    updateAxes();
}

void CTrendView::clear() {
    samples_.clear();
    for (auto& s : series_) {
        chart_->removeSeries(s.line);
        delete s.line;
    }
    series_.clear();
    updateAxes();
}

void CTrendView::setWindowMinutes(int minutes) {
    if (std::find(std::begin(kWindows), std::end(kWindows), minutes) == std::end(kWindows)) return;
    if (window_->currentData().toInt() != minutes) window_->setCurrentIndex(window_->findData(minutes));
    if (minutes == windowMinutes_) return;
    const bool wider = minutes > windowMinutes_;
    windowMinutes_ = minutes;
    if (wider)
        replot();  // points that had left the plot come back
    else
        trimPlot();
    updateAxes();
}

void CTrendView::setPaused(bool on) {
    if (pause_->isChecked() != on) pause_->setChecked(on);  // re-enters through toggled
    if (paused_ == on) return;
    paused_ = on;
    emit pausedChanged(on);
}

void CTrendView::dropOld() {
    if (samples_.empty()) return;
    const qint64 oldest = samples_.back().t - kMaxMinutes * kMinuteMs;
    while (!samples_.empty() && (samples_.front().t < oldest || samples_.size() > std::size_t{kMaxSamples}))
        samples_.pop_front();
}

void CTrendView::trimPlot() {
    if (samples_.empty()) return;
    const qreal oldest = static_cast<qreal>(samples_.back().t - windowMinutes_ * kMinuteMs);
    for (auto& s : series_) {
        // Points are in time order; only the few at the front leave with each refresh.
        const int n = s.line->count();
        int drop = 0;
        while (drop < n && s.line->at(drop).x() < oldest) ++drop;
        if (drop > 0) s.line->removePoints(0, drop);
    }
}

void CTrendView::replot() {
    const qint64 oldest = samples_.empty() ? 0 : samples_.back().t - windowMinutes_ * kMinuteMs;
    for (std::size_t i = 0; i < series_.size(); ++i) {
        QList<QPointF> points;
        for (const auto& sample : samples_) {
            const double v = valueAt(sample.values, i);
            if (sample.t >= oldest && !std::isnan(v)) points.append(QPointF(static_cast<qreal>(sample.t), v));
        }
        series_[i].line->replace(points);
    }
}

void CTrendView::updateAxes() {
    const qint64 newest = samples_.empty() ? QDateTime::currentMSecsSinceEpoch() : samples_.back().t;
    // Until the samples fill the window the plot starts at the first one, so a fresh trend is
    // not squeezed against the right border.
    qint64 oldest = newest - windowMinutes_ * kMinuteMs;
    if (!samples_.empty() && samples_.front().t > oldest) oldest = std::min(samples_.front().t, newest - 1000);
    axisX_->setRange(QDateTime::fromMSecsSinceEpoch(oldest), QDateTime::fromMSecsSinceEpoch(newest));

    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    for (const auto& s : series_) {
        for (const QPointF& p : s.line->points()) {
            lo = std::min(lo, p.y());
            hi = std::max(hi, p.y());
        }
    }
    if (lo > hi) {
        lo = 0;
        hi = 1;
    } else {
        // A margin so lines do not run along the border; a flat line gets one of its own.
        const double span = hi - lo;
        const double pad = span > 0 ? span * 0.05 : std::max(std::abs(hi) * 0.05, 0.5);
        lo -= pad;
        hi += pad;
    }
    axisY_->setRange(lo, hi);
    axisY_->applyNiceNumbers();
}

bool CTrendView::exportCsv(const QString& path, QString* error) const {
    auto fail = [&](const QString& why) {
        if (error) *error = why;
        return false;
    };
    if (path.isEmpty()) return fail(tr("未指定导出文件"));

    QString text = QStringLiteral("time");
    for (const auto& s : series_) {
        QString name = QString::fromStdString(s.key);
        if (!s.unit.empty()) name += QStringLiteral(" (%1)").arg(QString::fromStdString(s.unit));
        text += QLatin1Char(',') + csvField(name);
    }
    text += QLatin1Char('\n');
    for (const auto& sample : samples_) {
        text += QDateTime::fromMSecsSinceEpoch(sample.t, Qt::UTC).toString(Qt::ISODateWithMs);
        for (std::size_t i = 0; i < series_.size(); ++i) {
            text += QLatin1Char(',');
            const double v = valueAt(sample.values, i);
            if (!std::isnan(v)) text += QString::number(v, 'g', 15);
        }
        text += QLatin1Char('\n');
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(tr("无法写入 %1：%2").arg(path, file.errorString()));
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit())
        return fail(tr("无法写入 %1：%2").arg(path, file.errorString()));
    return true;
}

void CTrendView::exportWithDialog() {
    const QString suggested =
        QStringLiteral("trend-%1.csv").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString path = QFileDialog::getSaveFileName(this, tr("导出 CSV"), suggested, tr("CSV 文件 (*.csv)"));
    if (path.isEmpty()) return;  // cancelled
    QString error;
    if (!exportCsv(path, &error)) QMessageBox::warning(this, tr("导出失败"), error);
}

}  // namespace vexadesk
