#include "playback/ui/CPlayerControlDlg.h"

#include <QSlider>

#include "playback/PlayerRecords.h"
#include "playback/ui/CJogSlider.h"
#include "services/Translation.h"
#include "services/ui/ControlIdentity.h"

namespace corvanta {

using namespace ui;

namespace {

// The trackbars are made by the panel itself (they are subclassed), at the
// template's places: speed at 116,10 (100 x 11), jog at 58,29 (100 x 12).
const ControlTemplate kControls[] = {
    {CPlayerControlDlg::kIdPlay, ControlKind::PushButton, "Play", 7, 7, 50, 14},
    {CPlayerControlDlg::kIdPause, ControlKind::PushButton, "Pause", 61, 7, 50, 14},
    {kStaticControlId, ControlKind::Label, ">Sebesség>", 147, 2, 40, 8},
    {CPlayerControlDlg::kIdStepBack, ControlKind::PushButton, "<", 38, 25, 18, 14},
    {CPlayerControlDlg::kIdStepForward, ControlKind::PushButton, ">", 159, 26, 18, 14},
};
const DialogTemplate kTemplate{CPlayerControlDlg::kTemplateId, "", 223, 48, "MS Sans Serif", 8, kControls};

// The speed label's own key: dialog translation skips static controls.
constexpr char kSpeedLabelKey[] = "Player Control Dialog-Speed";

template <typename Slider>
Slider* MakeTrackbar(CTemplateDialog& dialog, int id, QRect dialogUnits) {
    auto* slider = new Slider(&dialog);
    SetControlIdentity(slider, id, QStringLiteral("msctls_trackbar32"));
    slider->setObjectName(QStringLiteral("control%1").arg(id));
    slider->setGeometry(DialogUnitsToPixels(dialogUnits, dialog.BaseUnits()));
    return slider;
}

}  // namespace

CPlayerControlDlg::CPlayerControlDlg(QWidget* parent) : CTemplateDialog(kTemplate, parent) {
    setWindowFlags(Qt::Widget);
    m_speed = MakeTrackbar<QSlider>(*this, kIdSpeed, QRect(116, 10, 100, 11));
    m_speed->setOrientation(Qt::Horizontal);
    m_speed->setRange(kSpeedMin, kSpeedMax);
    m_speed->setTickPosition(QSlider::TicksBelow);
    m_speed->setTickInterval(1);
    m_speed->setPageStep(1);
    m_speed->setValue(kSpeedMiddle);
    m_speed->setFocusPolicy(Qt::NoFocus);
    connect(m_speed, &QSlider::sliderReleased, this, [this] { SpeedReleased(); });
    // Deliberately beyond the release: a click on the track, the wheel or a
    // key applies the speed too, as users expect of any slider. A drag
    // applies it only when let go.
    connect(m_speed, &QSlider::valueChanged, this, [this] {
        if (!m_speed->isSliderDown()) Send(kPlayerSpeed);
    });
    m_jog = MakeTrackbar<CJogSlider>(*this, kIdJog, QRect(58, 29, 100, 12));

    const struct {
        int id;
        const char* tip;
    } tips[] = {{kIdPlay, "Play (Space)"},
                {kIdPause, "Pause (Space)"},
                {kIdStepBack, "One frame back (Left)"},
                {kIdStepForward, "One frame forward (Right)"}};
    for (const auto& t : tips) {
        if (QWidget* button = Control(t.id)) {
            button->setToolTip(QString::fromUtf8(t.tip));
            // Keys belong to the player's shortcuts, not to a focused button.
            button->setFocusPolicy(Qt::NoFocus);
        }
    }
    m_speed->setToolTip(QStringLiteral("Speed (Up, Down)"));
}

CPlayerControlDlg::~CPlayerControlDlg() { m_client.Close(); }

bool CPlayerControlDlg::OnInitDialog() {
    // Deliberately translated though it is a static control: users expect the speed label in their language.
    if (QWidget* label = SpeedLabel()) {
        std::string text = ControlText(label).toStdString();
        if (TranslateByKey(kSpeedLabelKey, text)) SetControlText(label, QString::fromStdString(text));
    }
    return CTemplateDialog::OnInitDialog();
}

QWidget* CPlayerControlDlg::SpeedLabel() const {
    // The panel's only unnamed control.
    for (QObject* child : children()) {
        auto* control = qobject_cast<QWidget*>(child);
        if (control && ui::ControlId(control) == kStaticControlId) return control;
    }
    return nullptr;
}

void CPlayerControlDlg::SetTarget(const std::string& playerFilterName) {
    m_client.Close();
    m_client.Open(playerFilterName.c_str());
    Send(kPlayerSpeed);
}

int CPlayerControlDlg::SpeedPosition() const { return m_speed->value(); }
int CPlayerControlDlg::JogPosition() const { return m_jog->value(); }

void CPlayerControlDlg::Send(uint32_t code) {
    if (m_client.IsOpen()) m_client.SendCommand(code, 0, 0, nullptr, 0);
}

void CPlayerControlDlg::Play() {
    m_state.playing = 1;
    m_state.paused = 0;
    Send(kPlayerPlay);
}

void CPlayerControlDlg::Pause() {
    if (m_state.paused) {
        m_state.playing = 1;
        m_state.paused = 0;
        Send(kPlayerPlay);
    } else if (m_state.playing) {
        m_state.playing = 0;
        m_state.paused = 1;
        Send(kPlayerPause);
    }
}

void CPlayerControlDlg::StepBack() {
    if (m_state.currentFrame == 0) return;
    --m_state.currentFrame;
    Send(kPlayerStepBack);
}

void CPlayerControlDlg::StepForward() {
    ++m_state.currentFrame;
    Send(kPlayerStepForward);
}

void CPlayerControlDlg::SpeedReleased() { Send(kPlayerSpeed); }

void CPlayerControlDlg::ChangeSpeed(int delta) { m_speed->setValue(m_speed->value() + delta); }

void CPlayerControlDlg::OnCommand(int id) {
    switch (id) {
        case kIdPlay: Play(); break;
        case kIdPause: Pause(); break;
        case kIdStepBack: StepBack(); break;
        case kIdStepForward: StepForward(); break;
        default: break;
    }
}

}  // namespace corvanta
