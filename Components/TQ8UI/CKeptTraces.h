#pragma once
// The last drawing of each source that an arbiter may keep from being read:
// its traces on a transparent layer of the plot's size, with the view they
// were drawn for. While the arbiter refuses, the source is shown from its
// layer as long as the view is that of the drawing, so that a live board
// keeps its last trace on screen between acquisitions. One layer per source,
// made once and reused: a steady paint allocates nothing. UI thread only.
#include <QImage>
#include <QPainter>
#include <cstdint>
#include <map>
#include <memory>

class CKeptTraces {
public:
    // What a drawing shows: page, scales and plot size, and the marker
    // choices that go with them.
    struct View {
        uint64_t startSample = 0;
        uint32_t pageWidth = 0;
        double xScale = 0.0;
        double yScale = 0.0;
        int32_t minValue = 0;
        int32_t maxValue = 0;
        int32_t width = 0;
        int32_t height = 0;
        int32_t radius = 0;
        bool markers = false;
        bool points = false;
        bool operator==(const View&) const = default;
    };

    // Starts the source's new drawing for view: the painter of its layer,
    // cleared to transparent. The drawing made through it is the source's
    // kept one. Null (and nothing kept) when no layer can be had. The layer
    // stays until End, even when the source is dropped meanwhile.
    QPainter* Begin(uint32_t srcId, const View& view);
    void End();
    // The layer of the source's kept drawing when it was made for view;
    // otherwise the drawing is forgotten and null returned.
    const QImage* Recall(uint32_t srcId, const View& view);
    bool Holds(uint32_t srcId) const;
    // Forgets the drawing; the layer stays for the next one.
    void Forget(uint32_t srcId);
    // Frees the layer of a source that is gone, or of all.
    void Drop(uint32_t srcId);
    void Clear();

private:
    struct Layer {
        QImage image;
        std::unique_ptr<QPainter> painter; // active on image for the layer's life
        View view;
        bool kept = false;
    };
    std::map<uint32_t, Layer> m_layers;
    static constexpr uint32_t kNone = 0xFFFFFFFF;
    uint32_t m_drawing = kNone;  // the source between Begin and End
    bool m_dropDrawing = false;  // its layer goes at End
};
