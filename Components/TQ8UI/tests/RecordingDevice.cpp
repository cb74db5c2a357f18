#include "RecordingDevice.h"

#include <QPaintEngine>
#include <QPainterPath>

namespace {

std::string Num(double v) { return std::to_string(static_cast<long long>(std::llround(v))); }

class RecordingEngine : public QPaintEngine {
public:
    RecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override { log.push_back("pixmap"); }
    void drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) override
    {
        log.push_back("image");
    }
    Type type() const override { return QPaintEngine::User; }
    void drawLines(const QLineF* lines, int n) override
    {
        for (int i = 0; i < n; ++i)
            log.push_back("line " + Num(lines[i].x1()) + "," + Num(lines[i].y1()) + " " + Num(lines[i].x2()) + ","
                          + Num(lines[i].y2()));
    }
    void drawLines(const QLine* lines, int n) override
    {
        for (int i = 0; i < n; ++i) {
            const QLineF l(lines[i]);
            drawLines(&l, 1);
        }
    }
    void drawPoints(const QPointF* points, int n) override
    {
        for (int i = 0; i < n; ++i)
            log.push_back("point " + Num(points[i].x()) + "," + Num(points[i].y()));
    }
    void drawPoints(const QPoint* points, int n) override
    {
        for (int i = 0; i < n; ++i) {
            const QPointF p(points[i]);
            drawPoints(&p, 1);
        }
    }
    void drawEllipse(const QRectF& r) override { log.push_back("ellipse " + Box(r)); }
    void drawEllipse(const QRect& r) override { drawEllipse(QRectF(r)); }
    void drawPath(const QPainterPath& path) override { log.push_back("path " + Box(path.boundingRect())); }
    void drawRects(const QRectF* rects, int n) override
    {
        for (int i = 0; i < n; ++i)
            log.push_back("rect " + Box(rects[i]));
    }
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override { log.push_back("polygon"); }

    static std::string Box(const QRectF& r)
    {
        return Num(r.x()) + "," + Num(r.y()) + " " + Num(r.width()) + "x" + Num(r.height());
    }
    std::vector<std::string> log;
};

} // namespace

RecordingDevice::RecordingDevice(int width, int height)
    : m_width(width), m_height(height), m_engine(std::make_unique<RecordingEngine>())
{
}

RecordingDevice::~RecordingDevice() = default;

QPaintEngine* RecordingDevice::paintEngine() const { return m_engine.get(); }

const std::vector<std::string>& RecordingDevice::Log() const
{
    return static_cast<RecordingEngine*>(m_engine.get())->log;
}

void RecordingDevice::Clear() { static_cast<RecordingEngine*>(m_engine.get())->log.clear(); }

size_t RecordingDevice::Count(const std::string& prefix) const
{
    size_t n = 0;
    for (const std::string& e : Log())
        n += e.rfind(prefix, 0) == 0;
    return n;
}

int RecordingDevice::metric(PaintDeviceMetric m) const
{
    switch (m) {
    case PdmWidth: return m_width;
    case PdmHeight: return m_height;
    case PdmWidthMM: return m_width * 254 / 960;
    case PdmHeightMM: return m_height * 254 / 960;
    case PdmNumColors: return INT_MAX;
    case PdmDepth: return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY: return 96;
    case PdmDevicePixelRatio: return 1;
    case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
    default: return 0;
    }
}
