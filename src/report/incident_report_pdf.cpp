#include "report/incident_report_pdf.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>

#include "report/report_layout_math.h"

namespace report {
namespace {

constexpr int kDpi = 150;
constexpr int kMargin = 85;  // about 14 mm
constexpr int kGap = 24;

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// Liberation has no ligatures: "fi" stays two letters, so text searched or
// copied from the PDF reads as it was written.
QFont Font(double points, bool bold = false, bool mono = false) {
  QFont font(mono ? QStringLiteral("Liberation Mono") : QStringLiteral("Liberation Sans"));
  font.setStyleHint(mono ? QFont::Monospace : QFont::SansSerif);
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

// Lays blocks down the pages, starting a page where the next block does
// not fit, and writes each page's footer.
class PageFlow {
 public:
  PageFlow(QPdfWriter& writer, QPainter& painter, QString footer, int totalPages)
      : writer_(writer), p_(painter), footer_(std::move(footer)), total_(totalPages) {
    const QRect page = p_.viewport();
    area_ = QRect(kMargin, kMargin, page.width() - 2 * kMargin, page.height() - 2 * kMargin - 40);
    y_ = area_.top();
  }

  int Width() const { return area_.width(); }
  int Left() const { return area_.left(); }
  int Pages() const { return page_; }
  bool Failed() const { return failed_; }

  void Space(int rows) { y_ = std::min(y_ + rows, area_.bottom()); }

  void Ensure(int height) {
    if (y_ + height > area_.bottom() && y_ > area_.top()) NewPage();
  }

  // A rectangle of `height` rows at the cursor, on a page it fits.
  QRect Take(int height) {
    Ensure(height);
    const QRect r(area_.left(), y_, area_.width(), height);
    y_ += height;
    return r;
  }

  void NewPage() {
    Footer();
    if (!writer_.newPage()) failed_ = true;
    ++page_;
    y_ = area_.top();
  }

  void Finish() { Footer(); }

  int TextHeight(const QString& text, const QFont& font, int width) {
    p_.setFont(font);
    return p_.boundingRect(QRect(0, 0, width, INT_MAX), Qt::TextWordWrap, text).height();
  }

  void Text(const QString& text, const QFont& font, const QColor& colour = Qt::black) {
    const QRect r = Take(TextHeight(text, font, Width()));
    p_.setFont(font);
    p_.setPen(colour);
    p_.drawText(r, Qt::TextWordWrap, text);
  }

  // `keepWith`: rows of what follows that must share the heading's page.
  void Heading(const QString& text, int keepWith = 100) {
    Space(kGap);
    Ensure(60 + keepWith);
    Text(text, Font(13, true));
    const int y = y_ + 4;
    p_.setPen(QPen(QColor(120, 120, 120), 2));
    p_.drawLine(area_.left(), y, area_.right(), y);
    Space(14);
  }

  // Rows of cells; `widths` are fractions of the page width. The header row
  // is repeated on each page the table continues on.
  void Table(const std::vector<QString>& header, const std::vector<double>& widths,
             const std::vector<std::vector<QString>>& rows, const QFont& font = Font(8.5)) {
    std::vector<int> px;
    for (const double w : widths) px.push_back(int(w * Width()));
    const QFont bold = Font(8.5, true);
    const auto rowHeight = [&](const std::vector<QString>& cells, const QFont& f) {
      int h = 0;
      for (std::size_t c = 0; c < cells.size() && c < px.size(); ++c)
        h = std::max(h, TextHeight(cells[c], f, px[c] - 10));
      return h + 8;
    };
    const auto drawRow = [&](const std::vector<QString>& cells, const QFont& f, bool shaded) {
      const QRect r = Take(rowHeight(cells, f));
      if (shaded) p_.fillRect(r, QColor(235, 235, 235));
      p_.setFont(f);
      p_.setPen(Qt::black);
      int x = r.left();
      for (std::size_t c = 0; c < cells.size() && c < px.size(); ++c) {
        p_.drawText(QRect(x + 4, r.top() + 4, px[c] - 10, r.height() - 4), Qt::TextWordWrap, cells[c]);
        x += px[c];
      }
    };
    const int headerHeight = rowHeight(header, bold);
    Ensure(headerHeight + (rows.empty() ? 0 : rowHeight(rows.front(), font)));
    drawRow(header, bold, true);
    for (const std::vector<QString>& row : rows) {
      const int h = rowHeight(row, font);
      if (y_ + h > area_.bottom()) {
        NewPage();
        drawRow(header, bold, true);
      }
      drawRow(row, font, false);
    }
  }

  QPainter& Painter() { return p_; }

 private:
  void Footer() {
    const QRect page = p_.viewport();
    const QRect band(kMargin, page.height() - kMargin - 20, page.width() - 2 * kMargin, 40);
    p_.setPen(QPen(QColor(120, 120, 120), 1));
    p_.drawLine(band.left(), band.top(), band.right(), band.top());
    p_.setFont(Font(7.5));
    p_.setPen(QColor(60, 60, 60));
    const QString number = total_ > 0 ? QStringLiteral("Page %1 of %2").arg(page_).arg(total_)
                                      : QStringLiteral("Page %1").arg(page_);
    p_.drawText(band, Qt::AlignRight | Qt::AlignVCenter, number);
    const int room = band.width() - p_.fontMetrics().horizontalAdvance(number) - 40;
    p_.drawText(band, Qt::AlignLeft | Qt::AlignVCenter,
                p_.fontMetrics().elidedText(footer_, Qt::ElideRight, room));
  }

  QPdfWriter& writer_;
  QPainter& p_;
  QString footer_;
  int total_;
  QRect area_;
  int y_ = 0;
  int page_ = 1;
  bool failed_ = false;
};

struct Series {
  QString name;
  QColor colour;
  std::function<double(const MotionPoint&)> value;
};

// A line graph of the range with its events marked by numbered lines.
void Graph(PageFlow& flow, const IncidentFacts& facts, const QString& title, const QString& unit,
           const std::vector<Series>& series) {
  QPainter& p = flow.Painter();
  const QRect box = flow.Take(420);
  p.setFont(Font(10, true));
  p.setPen(Qt::black);
  p.drawText(QRect(box.left(), box.top(), box.width(), 36), Qt::AlignLeft | Qt::AlignVCenter, title);
  const QRect plot(box.left() + 110, box.top() + 80, box.width() - 130, box.height() - 150);

  double low = 0, high = 0;
  bool any = false;
  for (const MotionPoint& m : facts.motion)
    for (const Series& s : series) {
      const double v = s.value(m);
      low = any ? std::min(low, v) : v;
      high = any ? std::max(high, v) : v;
      any = true;
    }
  // A little room above the highest value, so a line at its top stays seen.
  const AxisScale y = RoundAxis(std::min(low, 0.0), high + 0.04 * (high - std::min(low, 0.0)), 5);
  const AxisScale x = RoundAxis(facts.fromCentis / 100.0, facts.toCentis / 100.0, 6);
  const double x0 = facts.fromCentis / 100.0, x1 = std::max(x0 + 0.01, facts.toCentis / 100.0);
  const auto px = [&](double seconds) { return plot.left() + (seconds - x0) / (x1 - x0) * plot.width(); };
  const auto py = [&](double v) { return plot.bottom() - (v - y.low) / (y.high - y.low) * plot.height(); };

  p.setFont(Font(7.5));
  p.setPen(QPen(QColor(210, 210, 210), 1));
  for (double v = y.low; v <= y.high + y.step / 2; v += y.step) {
    p.setPen(QPen(QColor(215, 215, 215), 1));
    p.drawLine(QPointF(plot.left(), py(v)), QPointF(plot.right(), py(v)));
    p.setPen(Qt::black);
    p.drawText(QRectF(box.left(), py(v) - 15, 100, 30), Qt::AlignRight | Qt::AlignVCenter,
               QString::number(v, 'g', 4));
  }
  for (double s = x.low; s <= x.high + x.step / 2; s += x.step) {
    if (s < x0 - 1e-9 || s > x1 + 1e-9) continue;
    p.setPen(QPen(QColor(215, 215, 215), 1));
    p.drawLine(QPointF(px(s), plot.top()), QPointF(px(s), plot.bottom()));
    p.setPen(Qt::black);
    p.drawText(QRectF(px(s) - 90, plot.bottom() + 4, 180, 28), Qt::AlignHCenter | Qt::AlignTop,
               Q(TimelineText(int64_t(std::llround(s * 100)))));
  }
  p.setPen(QPen(Qt::black, 2));
  p.setBrush(Qt::NoBrush);
  p.drawRect(plot);
  p.drawText(QRectF(box.left(), plot.top() - 40, 100, 32), Qt::AlignRight | Qt::AlignVCenter, unit);
  p.drawText(QRectF(plot.left(), plot.bottom() + 32, plot.width(), 30), Qt::AlignHCenter | Qt::AlignTop,
             QStringLiteral("position on the timeline (h:mm:ss.ff)"));

  // The events, numbered as in the event table.
  for (std::size_t i = 0; i < facts.events.size(); ++i) {
    const double at = px(facts.events[i].centis / 100.0);
    p.setPen(QPen(QColor(200, 120, 0), 2, Qt::DashLine));
    p.drawLine(QPointF(at, plot.top()), QPointF(at, plot.bottom()));
    p.setPen(QColor(160, 90, 0));
    p.drawText(QRectF(at - 30, plot.top() - 30, 60, 28), Qt::AlignHCenter | Qt::AlignBottom,
               QString::number(i + 1));
  }
  p.save();
  p.setClipRect(plot);
  p.setRenderHint(QPainter::Antialiasing);
  for (const Series& s : series) {
    QPainterPath path;
    for (std::size_t i = 0; i < facts.motion.size(); ++i) {
      const QPointF point(px(facts.motion[i].centis / 100.0), py(s.value(facts.motion[i])));
      i == 0 ? path.moveTo(point) : path.lineTo(point);
    }
    p.setPen(QPen(s.colour, 3));
    p.drawPath(path);
  }
  p.restore();
  // Legend.
  p.setFont(Font(8));
  int lx = plot.right();
  for (auto s = series.rbegin(); s != series.rend(); ++s) {
    const int w = p.fontMetrics().horizontalAdvance(s->name) + 60;
    lx -= w;
    p.setPen(QPen(s->colour, 4));
    p.drawLine(lx, box.top() + 18, lx + 36, box.top() + 18);
    p.setPen(Qt::black);
    p.drawText(QRect(lx + 42, box.top(), w, 36), Qt::AlignLeft | Qt::AlignVCenter, s->name);
  }
  if (facts.motion.empty()) {
    p.setFont(Font(10));
    p.drawText(plot, Qt::AlignCenter, QStringLiteral("The range holds no motion records."));
  }
}

void Pictures(PageFlow& flow, const PictureMoment& moment, const std::string& filterNote) {
  flow.Space(kGap);
  const int column = (flow.Width() - kGap) / 2;
  constexpr int kMostRows = 330;  // two or three moments a page
  QPainter& p = flow.Painter();
  bool first = true;
  for (std::size_t i = 0; i < moment.pictures.size(); i += 2) {
    int rowHeight = 0;
    for (std::size_t k = i; k < std::min(i + 2, moment.pictures.size()); ++k) {
      const QImage& image = moment.pictures[k].image;
      const int h = image.isNull() || image.width() == 0
                        ? column * 3 / 4
                        : image.size().scaled(column, kMostRows, Qt::KeepAspectRatio).height();
      rowHeight = std::max(rowHeight, h + 40);
    }
    const int title = first ? flow.TextHeight(Q(moment.title), Font(10, true), flow.Width()) + 10 : 0;
    flow.Ensure(title + rowHeight);
    if (first) flow.Text(Q(moment.title), Font(10, true));
    if (first) flow.Space(10);
    first = false;
    const QRect row = flow.Take(rowHeight);
    for (std::size_t k = i; k < std::min(i + 2, moment.pictures.size()); ++k) {
      const MomentPicture& shot = moment.pictures[k];
      const int x = row.left() + int(k - i) * (column + kGap);
      const QRect frame(x, row.top(), column, std::min(rowHeight - 40, kMostRows));
      if (shot.image.isNull()) {
        p.setPen(QPen(Qt::gray, 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(frame);
        p.setPen(Qt::black);
        p.setFont(Font(8));
        p.drawText(frame.adjusted(10, 10, -10, -10), Qt::AlignCenter | Qt::TextWordWrap, Q(shot.note));
      } else {
        const QSize fitted = shot.image.size().scaled(frame.size(), Qt::KeepAspectRatio);
        // Stored at about the printed size: a report of many events stays small.
        p.drawImage(QRect(frame.topLeft(), fitted),
                    shot.image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
      }
      p.setPen(Qt::black);
      p.setFont(Font(7.5));
      p.drawText(QRect(x, frame.bottom() + 4, column, 34), Qt::AlignLeft | Qt::AlignVCenter,
                 QStringLiteral("Camera %1").arg(shot.camera + 1) +
                     (shot.image.isNull() ? QString() : QStringLiteral(": ") + Q(shot.note)));
    }
  }
  if (!filterNote.empty()) flow.Text(Q(filterNote), Font(7.5), QColor(120, 0, 0));
}

void Paint(PageFlow& flow, const ReportContent& content) {
  const IncidentRequest& r = *content.request;
  const IncidentFacts& f = *content.facts;
  flow.Text(QStringLiteral("Incident report"), Font(20, true));
  flow.Space(12);
  const std::vector<double> pair{0.28, 0.72};
  const auto orNone = [](const std::string& text) {
    return text.empty() ? QStringLiteral("(none given)") : Q(text);
  };
  flow.Table({QStringLiteral("Case"), orNone(r.caseText)}, pair,
             {{QStringLiteral("Examiner"), orNone(r.examiner)},
              {QStringLiteral("Report made"), Q(content.madeAt)},
              {QStringLiteral("Made with"), Q(r.tool)}});

  flow.Heading(QStringLiteral("Recording"));
  std::vector<std::vector<QString>> props{{QStringLiteral("DVR title"), Q(f.props.dvrTitle)},
                                          {QStringLiteral("DVR version"), Q(f.props.dvrVersion)},
                                          {QStringLiteral("DVR type"), Q(f.props.dvrType)},
                                          {QStringLiteral("Size"), Q(f.props.sizeText)},
                                          {QStringLiteral("GPS"), Q(f.props.gpsText)},
                                          {QStringLiteral("Triggers"), Q(f.props.triggerList)},
                                          {QStringLiteral("Length"), Q(TimelineText(f.recordingCentis))}};
  for (int c = 0; c < 4; ++c) {
    if (f.props.formatText[std::size_t(c)] == "N/A") continue;
    props.push_back({QStringLiteral("Camera %1").arg(c + 1),
                     Q(f.props.formatText[std::size_t(c)] + ", " + f.props.audioText[std::size_t(c)])});
  }
  flow.Table({QStringLiteral("File"), Q(f.recordingName)}, pair, props);

  flow.Heading(QStringLiteral("Range"));
  QString cameras;
  for (int c = 0; c < 4; ++c)
    if (r.cameras[std::size_t(c)])
      cameras += (cameras.isEmpty() ? "" : ", ") + QStringLiteral("Camera %1").arg(c + 1);
  const auto clock = [](const std::string& a, const std::string& b) {
    return a.empty() ? QStringLiteral("no time recorded") : Q(a + "  to  " + b);
  };
  flow.Table({QStringLiteral("Timeline"), Q(TimelineText(f.fromCentis) + "  to  " + TimelineText(f.toCentis) +
                                            "  (" + TimelineText(f.toCentis - f.fromCentis) + " long)")},
             pair,
             {{QStringLiteral("Local time"), clock(f.startLocal, f.endLocal)},
              {QStringLiteral("UTC"), clock(f.startUtc, f.endUtc)},
              {QStringLiteral("Cameras"), cameras}});

  flow.Heading(QStringLiteral("Source files"));
  for (const SourceFile& s : f.sources) {
    flow.Ensure(120);
    flow.Text(Q(s.path) + QStringLiteral("  (%1 bytes)").arg(s.bytes), Font(8.5));
    flow.Text(QStringLiteral("SHA-256 ") + Q(s.sha256), Font(8.5, false, true));
    flow.Space(10);
  }

  flow.Heading(QStringLiteral("Events of the range (%1)").arg(f.events.size()));
  if (f.events.empty()) {
    flow.Text(QStringLiteral("No trigger turned on and no harsh motion (%1 g or more) in the range.")
                  .arg(r.harshTenths / 10.0, 0, 'f', 1),
              Font(9));
  } else {
    std::vector<std::vector<QString>> rows;
    for (std::size_t i = 0; i < f.events.size(); ++i) {
      const ReportEvent& e = f.events[i];
      rows.push_back(
          {QString::number(i + 1), Q(TimelineText(e.centis)), Q(e.localTime), Q(e.utcTime), Q(e.what)});
    }
    flow.Table({QStringLiteral("#"), QStringLiteral("Timeline"), QStringLiteral("Local time"),
                QStringLiteral("UTC"), QStringLiteral("Event")},
               {0.06, 0.15, 0.25, 0.27, 0.27}, rows);
  }

  flow.Heading(QStringLiteral("Bookmarks"));
  if (f.bookmarks.empty()) {
    flow.Text(QStringLiteral("No bookmark in the range."), Font(9));
  } else {
    std::vector<std::vector<QString>> rows;
    for (const ReportBookmark& b : f.bookmarks)
      rows.push_back({Q(TimelineText(b.centis)), Q(b.label), Q(b.note)});
    flow.Table({QStringLiteral("Timeline"), QStringLiteral("Bookmark"), QStringLiteral("Note")},
               {0.16, 0.28, 0.56}, rows);
  }

  flow.Heading(QStringLiteral("Speed and acceleration"), 420);
  Graph(flow, f, QStringLiteral("Speed"), QStringLiteral("km/h"),
        {{QStringLiteral("speed"), QColor(0, 90, 200), [](const MotionPoint& m) { return m.speedKmh; }}});
  flow.Space(kGap);
  Graph(flow, f, QStringLiteral("Acceleration"), QStringLiteral("g"),
        {{QStringLiteral("X"), QColor(200, 30, 30), [](const MotionPoint& m) { return m.accelX; }},
         {QStringLiteral("Y"), QColor(30, 150, 30), [](const MotionPoint& m) { return m.accelY; }},
         {QStringLiteral("Z"), QColor(60, 60, 220), [](const MotionPoint& m) { return m.accelZ; }}});
  flow.Text(QStringLiteral("Dashed lines mark the events, numbered as in the table of events."), Font(7.5));

  const RangeMapPicture& map = *content.map;
  const int side = std::min(flow.Width(), 700);
  flow.Heading(QStringLiteral("Map of the range"), map.image.isNull() ? 100 : side);
  if (!map.image.isNull()) {
    const QRect box = flow.Take(side);
    flow.Painter().drawImage(QRect(box.left(), box.top(), side, side), map.image);
    flow.Space(8);
    flow.Text(
        QStringLiteral("The line is the vehicle's track through the range (%1 positions); the dot is its "
                       "position at the start of the range. Zoom %2.")
            .arg(f.track.size())
            .arg(map.zoom),
        Font(8));
  }
  if (!map.note.empty()) flow.Text(Q(map.note), Font(10, true), QColor(150, 0, 0));

  flow.Heading(QStringLiteral("Pictures"), 400);
  for (const PictureMoment& moment : *content.moments) Pictures(flow, moment, r.pictureFilterNote);

  flow.Heading(QStringLiteral("Integrity check of the range"));
  flow.Text(QStringLiteral("The timing-integrity check of the files the range uses (every picture decoded); "
                           "findings outside the range are left out."),
            Font(8));
  flow.Space(8);
  for (const std::string& line : f.checkCameras) flow.Text(Q(line), Font(8.5));
  if (!f.checkError.empty())
    flow.Text(QStringLiteral("Could not be read: ") + Q(f.checkError), Font(8.5, true));
  for (const std::string& line : f.findings) flow.Text(Q(line), Font(8.5));
}

}  // namespace

int PaintIncidentReport(const ReportContent& content, QIODevice* out, std::string& error) {
  // Laid out twice: the first time only to count the pages for "Page N of M".
  int total = 0;
  for (int pass = 0; pass < 2; ++pass) {
    QBuffer scratch;
    QIODevice* device = out;
    if (pass == 0) {
      scratch.open(QIODevice::WriteOnly);
      device = &scratch;
    }
    QPdfWriter writer(device);
    writer.setResolution(kDpi);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    writer.setCreator(Q(content.request->tool));
    writer.setTitle(QStringLiteral("Incident report: ") + Q(content.facts->recordingName));
    QPainter painter;
    if (!painter.begin(&writer)) return error = "the PDF writer could not start", 0;
    PageFlow flow(writer, painter,
                  Q(content.request->tool + "  -  incident report of " + content.facts->recordingName +
                    (content.request->caseText.empty() ? "" : "  -  case " + content.request->caseText)),
                  total);
    Paint(flow, content);
    flow.Finish();
    if (!painter.end() || flow.Failed()) return error = "the PDF could not be written", 0;
    total = flow.Pages();
  }
  return total;
}

}  // namespace report
