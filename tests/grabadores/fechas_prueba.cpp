// Reading and writing the dates recorders use, under three time zones: one with a clock
// change in March and October, one with it in March and November, and UTC.
#include "apoyo/impresion.h"
#include "apoyo/zona_horaria.h"
#include "grabadores/ayudas.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* MADRID = "Europe/Madrid";
constexpr const char* NUEVA_YORK = "America/New_York";
constexpr const char* UTC = "UTC";

struct CasoFecha {
    const char* zona;
    const char* patron;
    bool utc;
    const char* texto;
    const char* instante;  // UTC, ISO with milliseconds; nullptr: not a date
    const char* vuelta;    // the instant written back; nullptr: the same text
};

const CasoFecha CASOS[] = {
    // File names of memory-card recordings: two-digit years are this century.
    {MADRID, "yyMMddHHmmss", false, "240305140709", "2024-03-05T13:07:09.000Z", nullptr},
    {NUEVA_YORK, "yyMMddHHmmss", false, "240305140709", "2024-03-05T19:07:09.000Z", nullptr},
    {UTC, "yyMMddHHmmss", false, "240305140709", "2024-03-05T14:07:09.000Z", nullptr},
    {UTC, "yyMMddHHmmss", false, "991231235959", "2099-12-31T23:59:59.000Z", nullptr},
    {MADRID, "yyMMddHHmmss", false, "000101000000", "1999-12-31T23:00:00.000Z", nullptr},
    {UTC, "yyMMddHHmmss", false, "24030514070", nullptr, nullptr},
    {UTC, "yyMMddHHmmss", false, "2403051407090", nullptr, nullptr},
    {UTC, "yyMMddHHmmss", false, "24O305140709", nullptr, nullptr},
    // Day folders.
    {MADRID, "yyyyMMdd", false, "20240305", "2024-03-04T23:00:00.000Z", nullptr},
    {NUEVA_YORK, "yyyyMMdd", false, "20240305", "2024-03-05T05:00:00.000Z", nullptr},
    {UTC, "yyyyMMdd", true, "20240229", "2024-02-29T00:00:00.000Z", nullptr},
    {UTC, "yyyyMMdd", true, "20230229", nullptr, nullptr},
    // UTC search bounds never look at the local clock, not even inside its gap.
    {MADRID, "yyyy-MM-dd'T'HH:mm:ss'Z'", true, "2024-03-31T02:30:00Z", "2024-03-31T02:30:00.000Z", nullptr},
    {NUEVA_YORK, "yyyy-MM-dd'T'HH:mm:ss'Z'", true, "2024-03-10T02:30:00Z", "2024-03-10T02:30:00.000Z", nullptr},
    {UTC, "yyyy-MM-dd'T'HH:mm:ss'Z'", true, "2024-01-31T23:59:58Z", "2024-01-31T23:59:58.000Z", nullptr},
    {MADRID, "yyyy-MM-dd'T'HH:mm:ss'Z'", true, "2024-01-31T23:59:58", nullptr, nullptr},
    // Local start times: a skipped hour moves forward by the gap, a repeated one is the
    // later occurrence.
    {MADRID, "yyyy-MM-dd HH:mm:ss", false, "2024-03-31 02:30:00", "2024-03-31T01:30:00.000Z", "2024-03-31 03:30:00"},
    {NUEVA_YORK, "yyyy-MM-dd HH:mm:ss", false, "2024-03-10 02:30:00", "2024-03-10T07:30:00.000Z", "2024-03-10 03:30:00"},
    {MADRID, "yyyy-MM-dd HH:mm:ss", false, "2024-10-27 02:30:00", "2024-10-27T01:30:00.000Z", nullptr},
    {NUEVA_YORK, "yyyy-MM-dd HH:mm:ss", false, "2024-11-03 01:30:00", "2024-11-03T06:30:00.000Z", nullptr},
    {MADRID, "yyyy-MM-dd HH:mm:ss", false, "2024-07-01 12:00:00", "2024-07-01T10:00:00.000Z", nullptr},
    {NUEVA_YORK, "yyyy-MM-dd HH:mm:ss", true, "2024-07-01 12:00:00", "2024-07-01T12:00:00.000Z", nullptr},
    {UTC, "yyyy-MM-dd HH:mm:ss", false, "2024-02-30 10:00:00", nullptr, nullptr},
    {UTC, "yyyy-MM-dd HH:mm:ss", false, "2024-13-01 00:00:00", nullptr, nullptr},
    {UTC, "yyyy-MM-dd HH:mm:ss", false, "2024-03-05 24:00:00", nullptr, nullptr},
    {UTC, "yyyy-MM-dd HH:mm:ss", false, "2024-03-05 14:07:09 ", nullptr, nullptr},
    {UTC, "yyyy-MM-dd HH:mm:ss", false, "2024-03-05 14:07", nullptr, nullptr},
    // Quoted literals, names, 12-hour clock, fractions and offsets in the text.
    {MADRID, "yyyy-MM-dd 'a las' HH''mm", false, "2024-03-05 a las 14'07", "2024-03-05T13:07:00.000Z", nullptr},
    {UTC, "EEE, dd MMM yyyy HH:mm:ss Z", true, "Tue, 05 Mar 2024 14:07:09 +0000", "2024-03-05T14:07:09.000Z", nullptr},
    {UTC, "EEE, dd MMM yyyy HH:mm:ss Z", true, "Tue, 05 Mar 2024 14:07:09 +0100", "2024-03-05T13:07:09.000Z", "Tue, 05 Mar 2024 13:07:09 +0000"},
    {NUEVA_YORK, "dd MMMM yyyy", false, "05 march 2024", "2024-03-05T05:00:00.000Z", "05 March 2024"},
    {UTC, "hh:mm a", true, "02:07 PM", "1970-01-01T14:07:00.000Z", nullptr},
    {UTC, "hh:mm a", true, "12:07 AM", "1970-01-01T00:07:00.000Z", nullptr},
    {UTC, "hh:mm a", true, "13:07 PM", nullptr, nullptr},
    {UTC, "HH:mm:ss.SSS", true, "14:07:09.250", "1970-01-01T14:07:09.250Z", nullptr},
    {MADRID, "yyyy-MM-dd'T'HH:mm:ssXXX", false, "2024-03-05T14:07:09+01:00", "2024-03-05T13:07:09.000Z", nullptr},
    {NUEVA_YORK, "yyyy-MM-dd'T'HH:mm:ssXXX", false, "2024-03-05T14:07:09+01:00", "2024-03-05T13:07:09.000Z", "2024-03-05T08:07:09-05:00"},
    {UTC, "yyyy-MM-dd'T'HH:mm:ssXXX", true, "2024-03-05T14:07:09Z", "2024-03-05T14:07:09.000Z", nullptr},
    {MADRID, "yyyy-MM-dd-HH-mm-ss", false, "2024-03-05-14-07-09", "2024-03-05T13:07:09.000Z", nullptr},
    {NUEVA_YORK, "yyyy-MM-dd'T'HH:mm:ssXXXXX", true, "2024-03-05T14:07:09+08:00", "2024-03-05T06:07:09.000Z", "2024-03-05T06:07:09Z"},
    // Patterns that are not patterns read nothing.
    {UTC, "yyyy-MM-dd 'sin cerrar", false, "2024-03-05 sin cerrar", nullptr, nullptr},
    {UTC, "yyyy-qq", false, "2024-qq", nullptr, nullptr},
    // A field as wide as a pattern makes it: zeros in front are no trouble, a number no
    // field can hold is no date.
    {UTC, "yyyyyyyyyyyy-MM-dd", true, "000000002024-03-05", "2024-03-05T00:00:00.000Z", nullptr},
    {UTC, "yyyyyyyyyyyyyyyyyyyy", true, "77777777777777777777", nullptr, nullptr},
    {UTC, "yyyy-MM-dd mmmmmmmmmmmmmmmmmmmmmmmm", true, "2024-03-05 777777777777777777770000", nullptr, nullptr},
    {UTC, "HH:mm:ss.SSSSSSSSSSSS", true, "14:07:09.250000000000", nullptr, nullptr},
};

void PrintTo(const CasoFecha& c, std::ostream* os) {
    *os << c.zona << " " << c.patron << (c.utc ? " UTC " : " local ") << '"' << c.texto << '"';
}

class Fechas : public ::testing::TestWithParam<CasoFecha> {};

TEST_P(Fechas, LeeYEscribeComoLosGrabadores) {
    const CasoFecha& c = GetParam();
    ZonaHoraria zona(c.zona);
    const FormatoFecha f = fmt(QString::fromUtf8(c.patron), c.utc);
    const auto leida = f.fecha(QString::fromUtf8(c.texto));
    if (!c.instante) {
        EXPECT_FALSE(leida.has_value()) << leida->toString(Qt::ISODateWithMs).toStdString();
        return;
    }
    ASSERT_TRUE(leida.has_value());
    EXPECT_EQ(leida->toUTC().toString(Qt::ISODateWithMs), QString::fromUtf8(c.instante));
    EXPECT_EQ(f.texto(*leida), QString::fromUtf8(c.vuelta ? c.vuelta : c.texto));
}

INSTANTIATE_TEST_SUITE_P(Zonas, Fechas, ::testing::ValuesIn(CASOS));

// Writing only: the end of a recording and downloaded file names are local time.
TEST(FechasEscritas, HoraLocalYNombres) {
    const QDateTime t = QDateTime::fromSecsSinceEpoch(1709647629, Qt::UTC);  // 2024-03-05 14:07:09Z
    const struct {
        const char* zona;
        const char* hora;
        const char* nombre;
    } filas[] = {
        {MADRID, "15:07:09", "2024-03-05-15-07-09.mp4"},
        {NUEVA_YORK, "09:07:09", "2024-03-05-09-07-09.mp4"},
        {UTC, "14:07:09", "2024-03-05-14-07-09.mp4"},
    };
    for (const auto& f : filas) {
        ZonaHoraria zona(f.zona);
        EXPECT_EQ(fmt("HH:mm:ss", false).texto(t), f.hora) << f.zona;
        EXPECT_EQ(nombreFecha(t, ".mp4"), f.nombre) << f.zona;
        EXPECT_EQ(fmt("yyMMddHHmmss", true).texto(t), "240305140709") << f.zona;
    }
    EXPECT_EQ(fmt("yyyy-qq", true).texto(t), QString());
    EXPECT_EQ(fmt("yyyy", true).texto(QDateTime()), QString());
}

}  // namespace
