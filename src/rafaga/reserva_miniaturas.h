#pragma once
#include <QImage>
#include <QMutex>
#include <QSize>
#include <memory>
#include <vector>

// One block of equal slots for the thumbnails a grid holds. Thousands of thumbnails
// taken and let go while the user scrolls would otherwise leave the heap full of holes
// that the process keeps; with the block, what the thumbnails take is the block's size
// at most, whatever the scrolling.
class ReservaMiniaturas : public std::enable_shared_from_this<ReservaMiniaturas> {
public:
    // Slots for pictures of up to `caja` in 24-bit colour, as many as `bytes` hold. The
    // block is only reserved: pages count once a thumbnail is written to them.
    static std::shared_ptr<ReservaMiniaturas> crear(qint64 bytes, const QSize& caja);
    // Bytes of one slot for pictures of up to `caja`: three a pixel, lines padded to four.
    static qint64 bytesHueco(const QSize& caja);
    ~ReservaMiniaturas();
    ReservaMiniaturas(const ReservaMiniaturas&) = delete;
    ReservaMiniaturas& operator=(const ReservaMiniaturas&) = delete;

    // A copy of `imagen` in a free slot, given back when the last copy of the result
    // goes; a plain copy when it does not fit a slot or none is free.
    QImage guardar(const QImage& imagen);
    const QSize& caja() const { return caja_; }
    int libres() const;

private:
    ReservaMiniaturas(int huecos, const QSize& caja);
    static void devolver(void* info);

    QSize caja_;
    qsizetype bytesLinea_;
    qsizetype bytesHueco_;
    uchar* bloque_ = nullptr;
    size_t tamBloque_ = 0;
    mutable QMutex mutex_;
    std::vector<int> libres_;
};
