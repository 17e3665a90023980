#pragma once
// The page shown instead of the workspace for a module that runs its boot loader.
#include <QWidget>

class QLabel;

namespace vexadesk {

class CDlgBootLoader : public QWidget {
    Q_OBJECT
public:
    explicit CDlgBootLoader(QWidget* parent = nullptr);
    void setModuleWord(unsigned word);  // "VEXA-%04x Boot Loader....."
    QString text() const;

private:
    QLabel* text_;
};

}  // namespace vexadesk
