#pragma once
// "通信模块升级": downloads a .fupf image into the USB coupler. The download runs as a job on the
// device thread; it reports status lines and progress back to this dialog, which cannot be
// closed while the job runs.
#include <QByteArray>
#include <QDialog>
#include <QTimer>

#include <atomic>
#include <cstdint>

class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace vexadesk {

class CDeviceThread;
struct DeviceRecord;

// What a .fupf file holds: a 256-byte header whose first four bytes are the image length N
// (little-endian), then the N image bytes.
struct FupfImage {
    QString error;     // "" when valid, else the message to show
    QByteArray image;  // the N bytes after the header
};
FupfImage readFupf(const QString& path);

class CDlgUpdateFirme : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHeaderBytes = 256;
    static constexpr std::uint32_t kFlashBytes = 0x10000;
    static constexpr int kProgressRange = 1000;
    static constexpr int kBeginAttempts = 6;

    CDlgUpdateFirme(CDeviceThread& thread, DeviceRecord& record, QWidget* parent = nullptr);
    ~CDlgUpdateFirme() override;

    // Loads the image as "打开..." does after the file was chosen; false (with its message shown)
    // for a file that cannot be used.
    bool loadImage(const QString& path);
    // "开始升级".
    void startUpgrade();
    bool running() const { return running_; }
    const QByteArray& image() const { return image_; }

    // The pause after the coupler took the begin request (it restarts into its loader); tests
    // shorten it.
    void setReloginWaitMs(int ms) { reloginWaitMs_ = ms; }

    QLabel* typeText() const { return type_; }
    QLabel* addressText() const { return address_; }
    QLineEdit* pathEdit() const { return path_; }
    QPushButton* openButton() const { return open_; }
    QPushButton* startButton() const { return start_; }
    QPushButton* exitButton() const { return exit_; }
    QProgressBar* progressBar() const { return progress_; }
    QListWidget* statusList() const { return status_; }
    // Runs `fn` on the window thread while this dialog lives; callable from any thread.
    void post(std::function<void()> fn);

signals:
    // The download job ended (after its last status line).
    void upgradeFinished();

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void chooseFile();
    void addStatus(const QString& text);
    void tick();
    void setRunning(bool on);
    // Runs on the device thread.
    void download(QByteArray image);

    CDeviceThread& thread_;
    DeviceRecord& record_;
    QByteArray image_;
    QTimer timer_;
    int progressValue_ = 0;
    bool running_ = false;
    std::atomic<int> reloginWaitMs_{2500};

    QLabel* type_ = nullptr;
    QLabel* address_ = nullptr;
    QLineEdit* path_ = nullptr;
    QPushButton* open_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* exit_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QListWidget* status_ = nullptr;
};

}  // namespace vexadesk
