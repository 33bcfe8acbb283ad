#include "services/ui/CTemplateDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QValidator>
#include <charconv>
#include <cstdint>

#include "framework/MessageBoxSink.h"
#include "services/ui/ControlIdentity.h"

namespace corvanta::ui {

static_assert(kIdOk == QDialog::Accepted, "exec() answers kIdOk for OK");

namespace {

const char* WindowClassName(ControlKind kind) {
    switch (kind) {
        case ControlKind::Label: return "STATIC";
        case ControlKind::Edit: return "EDIT";
        default: return "BUTTON";
    }
}

// Keeps an edit from growing past a byte limit while the user types, as the
// text limit of a Windows edit control does. setText is not checked, so a too
// long text from a store is shown whole and reaches validation at OK; while
// the text is too long, Qt lets the user edit it freely.
class ByteLimitValidator : public QValidator {
public:
    ByteLimitValidator(int maxBytes, QObject* parent) : QValidator(parent), m_max(maxBytes) {}
    State validate(QString& input, int&) const override {
        return input.toUtf8().size() <= m_max ? Acceptable : Invalid;
    }
    int Max() const { return m_max; }

private:
    int m_max;
};

// A whole decimal 32-bit integer, blanks around it allowed.
bool ParseInt32(const std::string& text, int32_t* value) {
    size_t begin = text.find_first_not_of(" \t");
    size_t end = text.find_last_not_of(" \t");
    if (begin == std::string::npos) return false;
    const char* first = text.data() + begin;
    const char* last = text.data() + end + 1;
    if (*first == '+') ++first;
    int64_t v = 0;
    auto [ptr, ec] = std::from_chars(first, last, v);
    if (ec != std::errc() || ptr != last || v < INT32_MIN || v > INT32_MAX) return false;
    *value = int32_t(v);
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// CDataExchange

void CDataExchange::Fail(int id, const std::string& message) {
    m_failed = true;
    ShowMessageBox(message);
    if (QWidget* control = m_dialog.Control(id)) {
        control->setFocus(Qt::OtherFocusReason);
        if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->selectAll();
    }
}

void CDataExchange::Text(int id, std::string& value, int maxBytes) {
    if (m_failed) return;
    auto* edit = m_dialog.ControlAs<QLineEdit>(id);
    if (!m_save) {
        if (edit && maxBytes > 0) {
            auto* limit = dynamic_cast<const ByteLimitValidator*>(edit->validator());
            if (!limit || limit->Max() != maxBytes) edit->setValidator(new ByteLimitValidator(maxBytes, edit));
        }
        m_dialog.SetControlString(id, value);
        return;
    }
    std::string text = m_dialog.ControlString(id);
    if (maxBytes > 0 && text.size() > size_t(maxBytes)) {
        Fail(id, "Please enter no more than " + std::to_string(maxBytes) + " characters.");
        return;
    }
    value = std::move(text);
}

void CDataExchange::Int(int id, int32_t& value) {
    if (m_failed) return;
    if (!m_save) {
        m_dialog.SetControlString(id, std::to_string(value));
        return;
    }
    int32_t parsed = 0;
    if (!ParseInt32(m_dialog.ControlString(id), &parsed)) {
        Fail(id, "Please enter an integer.");
        return;
    }
    value = parsed;
}

void CDataExchange::Check(int id, int& value) {
    if (m_failed) return;
    auto* box = m_dialog.ControlAs<QAbstractButton>(id);
    if (!box) return;
    if (m_save)
        value = box->isChecked() ? 1 : 0;
    else
        box->setChecked(value != 0);
}

void CDataExchange::Radio(int firstId, int& value) {
    if (m_failed) return;
    const auto& controls = m_dialog.Template().controls;
    size_t start = 0;
    while (start < controls.size() && controls[start].id != firstId) ++start;
    if (start == controls.size()) return;
    if (m_save) value = -1;
    for (size_t i = start; i < controls.size() && controls[i].kind == ControlKind::RadioButton; ++i) {
        if (i > start && (controls[i].style & kStyleGroup)) break;
        auto* button = m_dialog.ControlAs<QAbstractButton>(controls[i].id);
        if (!button) continue;
        const int index = int(i - start);
        if (m_save) {
            if (button->isChecked()) value = index;
        } else {
            button->setChecked(index == value);
        }
    }
}

// ---------------------------------------------------------------------------
// CTemplateDialog

CTemplateDialog::CTemplateDialog(const DialogTemplate& dialogTemplate, QWidget* parent)
    : QDialog(parent), m_template(dialogTemplate) {
    Build();
}

CTemplateDialog::~CTemplateDialog() = default;

void CTemplateDialog::Build() {
    QFont font(QString::fromUtf8(m_template.fontName), m_template.fontPointSize);
    setFont(font);
    m_base = BaseUnitsOf(font);
    setWindowTitle(QString::fromUtf8(m_template.title));
    setFixedSize(DialogUnitsToPixels(QSize(m_template.cx, m_template.cy), m_base));

    QButtonGroup* radios = nullptr;
    for (const ControlTemplate& t : m_template.controls) {
        const QString text = QString::fromUtf8(t.text ? t.text : "");
        QWidget* control = nullptr;
        if (t.kind != ControlKind::RadioButton) radios = nullptr;
        switch (t.kind) {
            case ControlKind::Label: {
                auto* label = new QLabel(text, this);
                label->setTextFormat(Qt::PlainText);
                label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                control = label;
                break;
            }
            case ControlKind::Edit: {
                auto* edit = new QLineEdit(this);
                if (t.style & kStylePassword) edit->setEchoMode(QLineEdit::Password);
                control = edit;
                break;
            }
            case ControlKind::GroupBox: control = new QGroupBox(text, this); break;
            case ControlKind::RadioButton: {
                auto* radio = new QRadioButton(text, this);
                // Radio buttons exclude each other within their run only,
                // not across every radio button of the dialog.
                if (!radios || (t.style & kStyleGroup)) radios = new QButtonGroup(this);
                radios->addButton(radio);
                control = radio;
                break;
            }
            case ControlKind::CheckBox: control = new QCheckBox(text, this); break;
            case ControlKind::PushButton:
            case ControlKind::DefPushButton: {
                auto* button = new QPushButton(text, this);
                button->setDefault(t.kind == ControlKind::DefPushButton);
                const int id = t.id;
                connect(button, &QPushButton::clicked, this, [this, id] { Clicked(id); });
                control = button;
                break;
            }
        }
        SetControlIdentity(control, t.id, QString::fromLatin1(WindowClassName(t.kind)));
        control->setObjectName(QStringLiteral("control%1").arg(t.id));
        control->setGeometry(DialogUnitsToPixels(QRect(t.x, t.y, t.cx, t.cy), m_base));
        if (t.style & kStyleDisabled) control->setEnabled(false);
        if (t.style & kStyleHidden) control->hide();
    }
}

QWidget* CTemplateDialog::Control(int id) const {
    for (QObject* child : children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget && !widget->isWindow() && ControlId(widget) == id) return widget;
    }
    return nullptr;
}

std::string CTemplateDialog::ControlString(int id) const {
    QWidget* control = Control(id);
    return control ? ControlText(control).toStdString() : std::string();
}

void CTemplateDialog::SetControlString(int id, const std::string& text) {
    if (QWidget* control = Control(id)) SetControlText(control, QString::fromStdString(text));
}

void CTemplateDialog::EnableControl(int id, bool enable) {
    if (QWidget* control = Control(id)) control->setEnabled(enable);
}

void CTemplateDialog::ShowControl(int id, bool show) {
    if (QWidget* control = Control(id)) control->setVisible(show);
}

bool CTemplateDialog::UpdateData(bool saveAndValidate) {
    CDataExchange dx(*this, saveAndValidate);
    DoDataExchange(dx);
    return !dx.Failed();
}

void CTemplateDialog::setVisible(bool visible) {
    // The controls get their texts and values before anybody sees them.
    if (visible && !m_initialised) {
        m_initialised = true;
        OnInitDialog();
    }
    QDialog::setVisible(visible);
}

void CTemplateDialog::reject() { OnCancel(); }

bool CTemplateDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CTemplateDialog::DoDataExchange(CDataExchange&) {}

void CTemplateDialog::OnOK() {
    if (UpdateData(true)) EndDialog(kIdOk);
}

void CTemplateDialog::OnCancel() { EndDialog(QDialog::Rejected); }

void CTemplateDialog::OnCommand(int) {}

void CTemplateDialog::EndDialog(int result) { done(result); }

void CTemplateDialog::Clicked(int id) {
    if (id == kIdOk)
        OnOK();
    else if (id == kIdCancel)
        OnCancel();
    else
        OnCommand(id);
}

}  // namespace corvanta::ui
