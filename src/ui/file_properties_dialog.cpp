#include "ui/file_properties_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

#include "metadata/windows1252.h"
#include "ui/core/window_messages.h"

namespace {

void AddField(QFormLayout* form, const char* label, const char* name, const std::string& dvrText) {
  auto* edit = new QLineEdit(QString::fromStdString(Utf8FromWindows1252(dvrText)));
  edit->setObjectName(QString::fromUtf8(name));
  edit->setReadOnly(true);
  edit->setCursorPosition(0);
  form->addRow(QString::fromUtf8(label), edit);
}

}  // namespace

CFileProperties::CFileProperties(const RecordingProperties& props, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("File Properties"));
  setObjectName(QStringLiteral("filePropertiesDialog"));

  auto* source = new QGroupBox(QStringLiteral("Source DVR Information:"), this);
  auto* sourceForm = new QFormLayout(source);
  AddField(sourceForm, "DVR Version:", "dvrVersion", props.dvrVersion);
  AddField(sourceForm, "DVR Type:", "dvrType", props.dvrType);
  AddField(sourceForm, "Video Size:", "videoSize", props.sizeText);
  AddField(sourceForm, "GPS Info:", "gpsInfo", props.gpsText);
  AddField(sourceForm, "Trigger Labels:", "triggerLabels", props.triggerList);
  AddField(sourceForm, "Video Type:", "videoType", VideoTypeText(props.h264Mode));

  // Channels 1 and 2 on top, 3 and 4 below.
  auto* channels = new QGridLayout;
  for (int c = 0; c < 4; ++c) {
    auto* group = new QGroupBox(QStringLiteral("Channel %1:").arg(c + 1), this);
    auto* form = new QFormLayout(group);
    const std::string n = std::to_string(c + 1);
    AddField(form, "Video Resolution:", ("resolution" + n).c_str(), props.formatText[c]);
    AddField(form, "Audio:", ("audio" + n).c_str(), props.audioText[c]);
    AddField(form, "Bitrate:", ("bitrate" + n).c_str(), props.bitRateText[c]);
    channels->addWidget(group, c / 2, c % 2);
  }

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(source);
  layout->addLayout(channels);
  layout->addWidget(buttons);
}
