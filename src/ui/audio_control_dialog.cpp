#include "ui/audio_control_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace {

// The slider's position counts down from the top, as on the recorder's own
// software: position 0 (top) is full volume.
constexpr int kVolumeMax = 100;

QString ViewTitle(int view) {
  return view == 4 ? QStringLiteral("Quad") : QStringLiteral("Video %1").arg(view + 1);
}

}  // namespace

CAudioControlDlg::CAudioControlDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Audio Control"));
  setObjectName(QStringLiteral("audioControlDialog"));

  auto* matrix = new QHBoxLayout;
  for (int v = 0; v < 5; ++v) {
    auto* group = new QGroupBox(ViewTitle(v), this);
    auto* column = new QVBoxLayout(group);
    for (int a = 0; a < 4; ++a) {
      auto* box = new QCheckBox(group);
      box->setObjectName(QString::fromStdString(RouteSettingName(v, a)).toLower());
      box->setAccessibleName(ViewTitle(v) + QStringLiteral(" hears Audio Channel %1").arg(a + 1));
      column->addWidget(box);
      boxes_[v][a] = box;
    }
    matrix->addWidget(group);
  }
  auto* rowLabels = new QVBoxLayout;
  rowLabels->addSpacing(fontMetrics().height());
  for (int a = 0; a < 4; ++a)
    rowLabels->addWidget(new QLabel(QStringLiteral("Audio Channel %1").arg(a + 1), this));
  matrix->addLayout(rowLabels);

  auto* volumeGroup = new QGroupBox(QStringLiteral("Channel Volume"), this);
  auto* volumes = new QGridLayout(volumeGroup);
  for (int a = 0; a < 4; ++a) {
    auto* slider = new QSlider(Qt::Vertical, volumeGroup);
    slider->setObjectName(QStringLiteral("volume%1").arg(a + 1));
    slider->setRange(0, kVolumeMax);
    slider->setInvertedAppearance(true);  // position 0 at the top
    slider->setInvertedControls(true);
    slider->setAccessibleName(QStringLiteral("Volume of audio channel %1").arg(a + 1));
    volumes->addWidget(slider, 0, a, Qt::AlignHCenter);
    volumes->addWidget(new QLabel(QString::number(a + 1), volumeGroup), 1, a, Qt::AlignHCenter);
    sliders_[a] = slider;
  }
  matrix->addWidget(volumeGroup);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  auto* selectAll = buttons->addButton(QStringLiteral("Select All"), QDialogButtonBox::ActionRole);
  auto* selectNone = buttons->addButton(QStringLiteral("Select None"), QDialogButtonBox::ActionRole);
  auto* defaults = buttons->addButton(QStringLiteral("Default"), QDialogButtonBox::ActionRole);
  selectAll->setObjectName(QStringLiteral("selectAll"));
  selectNone->setObjectName(QStringLiteral("selectNone"));
  defaults->setObjectName(QStringLiteral("defaultRouting"));
  // Only the boxes change: the volumes stay as they are.
  connect(selectAll, &QPushButton::clicked, this, [this] { SelectAll(true); });
  connect(selectNone, &QPushButton::clicked, this, [this] { SelectAll(false); });
  connect(defaults, &QPushButton::clicked, this, [this] { SetBoxes(DefaultAudioRouting()); });
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(matrix);
  layout->addWidget(new QLabel(
      QStringLiteral("Select which audio channels you want to hear while watching each video channel"),
      this));
  layout->addWidget(buttons);

  const AudioRouting stored = LoadAudioRouting();
  SetBoxes(stored);
  // A stored volume outside 0..100 shows at the slider's end.
  for (int a = 0; a < 4; ++a) sliders_[a]->setValue(kVolumeMax - stored.volume[a]);
}

AudioRouting CAudioControlDlg::Routing() const {
  AudioRouting r;
  for (int v = 0; v < 5; ++v) {
    for (int a = 0; a < 4; ++a) r.hear[v][a] = boxes_[v][a]->isChecked();
  }
  for (int a = 0; a < 4; ++a) r.volume[a] = kVolumeMax - sliders_[a]->value();
  return r;
}

void CAudioControlDlg::accept() {
  SaveAudioRouting(Routing());
  QDialog::accept();
}

void CAudioControlDlg::SetBoxes(const AudioRouting& routing) {
  for (int v = 0; v < 5; ++v) {
    for (int a = 0; a < 4; ++a) boxes_[v][a]->setChecked(routing.hear[v][a]);
  }
}

void CAudioControlDlg::SelectAll(bool on) {
  for (auto& column : boxes_) {
    for (QCheckBox* box : column) box->setChecked(on);
  }
}
