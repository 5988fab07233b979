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

// A slider's value is the volume: full at the top, the groove filled from
// the bottom up to the handle.
constexpr int kVolumeMax = 100;

QString ViewTitle(VideoView view) {
  return view.IsQuad() ? QStringLiteral("Quad") : QStringLiteral("Video %1").arg(view.Camera() + 1);
}

}  // namespace

CAudioControlDlg::CAudioControlDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Audio Control"));
  setObjectName(QStringLiteral("audioControlDialog"));

  auto* matrix = new QHBoxLayout;
  // One grid: a row per audio channel with its name, a column per view, so
  // every name stands on the line of its boxes.
  auto* routesGroup = new QGroupBox(QStringLiteral("Heard while watching"), this);
  auto* routes = new QGridLayout(routesGroup);
  for (VideoView v : VideoView::All()) {
    auto* title = new QLabel(ViewTitle(v), routesGroup);
    routes->addWidget(title, 0, v.Number() + 1, Qt::AlignHCenter);
  }
  for (int a = 0; a < 4; ++a) {
    auto* name = new QLabel(QStringLiteral("Audio Channel %1").arg(a + 1), routesGroup);
    name->setObjectName(QStringLiteral("channelLabel%1").arg(a + 1));
    routes->addWidget(name, a + 1, 0, Qt::AlignLeft | Qt::AlignVCenter);
    for (VideoView v : VideoView::All()) {
      auto* box = new QCheckBox(routesGroup);
      box->setObjectName(QString::fromStdString(RouteSettingName(v, a)).toLower());
      box->setAccessibleName(ViewTitle(v) + QStringLiteral(" hears Audio Channel %1").arg(a + 1));
      routes->addWidget(box, a + 1, v.Number() + 1, Qt::AlignCenter);
      boxes_[v.Number()][a] = box;
    }
  }
  matrix->addWidget(routesGroup);

  auto* volumeGroup = new QGroupBox(QStringLiteral("Channel Volume"), this);
  auto* volumes = new QGridLayout(volumeGroup);
  for (int a = 0; a < 4; ++a) {
    auto* slider = new QSlider(Qt::Vertical, volumeGroup);
    slider->setObjectName(QStringLiteral("volume%1").arg(a + 1));
    slider->setRange(0, kVolumeMax);
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
  for (int a = 0; a < 4; ++a) sliders_[a]->setValue(stored.volume[a]);
}

AudioRouting CAudioControlDlg::Routing() const {
  AudioRouting r;
  for (int v = 0; v < 5; ++v) {
    for (int a = 0; a < 4; ++a) r.hear[v][a] = boxes_[v][a]->isChecked();
  }
  for (int a = 0; a < 4; ++a) r.volume[a] = sliders_[a]->value();
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
