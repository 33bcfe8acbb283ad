#pragma once
#include <string>

#include "framework/CFilterIcpClient.h"
#include "playback/PlaybackClock.h"
#include "services/ui/CTemplateDialog.h"

class QSlider;

namespace corvanta {

class CJogSlider;

// The control panel inside a player: Play, Pause, the step buttons, the
// speed and jog sliders. It holds the playback state its player reads and
// writes, and tells the player about each change with a player command.
class CPlayerControlDlg : public ui::CTemplateDialog {
public:
    static constexpr int kTemplateId = 131;
    // Control ids are unique within the dialog; a new control takes the next id above
    // the highest one here (DialogTemplate.h says which ids are taken by every dialog).
    enum ControlId {
        kIdJog = 1012,
        kIdSpeed = 1005,
        kIdPlay = 1006,
        kIdPause = 1007,
        kIdStepForward = 1008,
        kIdStepBack = 1009,
    };

    explicit CPlayerControlDlg(QWidget* parent = nullptr);
    ~CPlayerControlDlg() override;

    // Binds the panel to its player's filter and applies the speed (command 5).
    void SetTarget(const std::string& playerFilterName);

    PlaybackState& State() { return m_state; }
    int SpeedPosition() const;
    int JogPosition() const;
    QSlider* SpeedSlider() const { return m_speed; }
    // The label above the speed slider.
    QWidget* SpeedLabel() const;
    CJogSlider* JogSlider() const { return m_jog; }

    // The buttons and the speed slider's release, also reached by the
    // player's keyboard shortcuts.
    void Play();
    void Pause();
    void StepBack();
    void StepForward();
    void SpeedReleased();
    // Moves the speed slider by `delta` positions, which applies it.
    void ChangeSpeed(int delta);

protected:
    // Translates the speed label under a key of its own.
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    // Embedded in its player: Escape does not close it.
    void OnCancel() override {}

private:
    void Send(uint32_t code);

    PlaybackState m_state;
    CFilterIcpClient m_client;
    QSlider* m_speed = nullptr;
    CJogSlider* m_jog = nullptr;
};

}  // namespace corvanta
