#pragma once

#include "TrafficLog.h"

#include <QByteArray>
#include <QMainWindow>
#include <QString>

class QCheckBox;
class QListView;
class QPushButton;
class QShowEvent;
class TrafficModel;

// The communications view: every frame sent, and every received frame the dispatcher
// logs, as one row of hexadecimal bytes, the newest at the top.
class p2view : public QMainWindow, public TrafficLog
{
    Q_OBJECT

public:
    explicit p2view(QWidget* parent = nullptr);
    ~p2view() override;

    // TrafficLog
    [[nodiscard]] bool showing() const override { return isVisible(); }
    void Disp_string(const QByteArray& frame) override;
    void Disp_array(const p2sr::Frame& frame, const QString& prefix) override;

    void Disp_mb(const QByteArray& block);
    void Clearall();
    void Showhide();

    QListView* p2list = nullptr;
    QCheckBox* pf = nullptr;             // "Pause"
    QPushButton* BevelButton2 = nullptr; // "Clear"
    QPushButton* BevelButton1 = nullptr; // "Close"

    [[nodiscard]] TrafficModel& model() const { return *m_model; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BevelButton1_Action();
    void BevelButton2_Action();
    void fitContent();

    TrafficModel* m_model = nullptr;
    bool m_contentFitted = false;
};
