#pragma once
// A paint device that draws nothing and logs what a painter asks of it:
// lines, points, ellipses and paths (pies), each as one text.
#include <QPaintDevice>
#include <memory>
#include <string>
#include <vector>

class RecordingDevice : public QPaintDevice {
public:
    RecordingDevice(int width, int height);
    ~RecordingDevice() override;
    QPaintEngine* paintEngine() const override;
    // "line x1,y1 x2,y2", "point x,y", "ellipse x,y wxh", "path x,y wxh".
    const std::vector<std::string>& Log() const;
    void Clear();
    // Entries that start with prefix.
    size_t Count(const std::string& prefix) const;

protected:
    int metric(PaintDeviceMetric m) const override;

private:
    int m_width, m_height;
    std::unique_ptr<QPaintEngine> m_engine;
};
