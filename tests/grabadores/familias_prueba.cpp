// What the three web families share: the user's messages for wrong credentials and for a
// device of another family, and where a download's bytes wait until they are whole.
#include "familias.h"
#include "grabadores/dahua.h"
#include "grabadores/descargas.h"
#include "grabadores/hikvision.h"
#include "grabadores/vstarcam.h"

#include "apoyo/programa.h"

#include <QFileInfo>

namespace {

const QString CLAVE_MALA = QStringLiteral("usuario o contraseña incorrectos");
const QString NO_ES = QStringLiteral("la cámara no tiene esta ruta (quizá no es de esta familia)");

struct Familia {
    const char* nombre;
    std::function<void(const OrigenPtr&)> listar;
    std::function<void(const Fichero&, const QString&)> descargar;
};

const Familia FAMILIAS[] = {
    {"hikvision", [](const OrigenPtr& o) { listarHikvision(o, "24 horas"); },
     [](const Fichero& f, const QString& d) { descargarHikvision(f, d, {}); }},
    {"dahua", [](const OrigenPtr& o) { listarDahua(o, "24 horas"); },
     [](const Fichero& f, const QString& d) { descargarDahua(f, d, {}); }},
    {"vstarcam", [](const OrigenPtr& o) { listarVStarcam(o, "24 horas"); },
     [](const Fichero& f, const QString& d) { descargarVStarcam(f, d, "/usr/bin/ffmpeg", {}); }},
};

}  // namespace

// A device that offers none of the three families' pages.
class OtraFamilia : public ConGrabador {
protected:
    OpcionesGrabador opciones() const override {
        OpcionesGrabador o;
        o.familias.clear();
        return o;
    }
};

TEST_F(OtraFamilia, ClaveMalaYRutaQueNoExiste) {
    for (const Familia& f : FAMILIAS) {
        SCOPED_TRACE(f.nombre);
        EXPECT_EQ(enRed([&] { f.listar(origen(QStringLiteral("mala"))); }), CLAVE_MALA);
        EXPECT_EQ(enRed([&] { f.listar(origen()); }), NO_ES);
        const QString ruta = QStringLiteral("/sd/20240305/a.jpg");
        const Fichero fichero(QStringLiteral("a.jpg"), std::nullopt, 0, ruta, origen(), ruta);
        const QString destino = tmp.filePath(QStringLiteral("a.jpg"));
        EXPECT_EQ(enRed([&] { f.descargar(fichero, destino); }), NO_ES);
        const Fichero conClaveMala(QStringLiteral("a.jpg"), std::nullopt, 0, ruta, origen("mala"), ruta);
        EXPECT_EQ(enRed([&] { f.descargar(conClaveMala, destino); }), CLAVE_MALA);
        EXPECT_EQ(ficherosEn(tmp.path()), QStringList{});
    }
}

TEST(Descargas, TemporalesYNombres) {
    const struct {
        const char* destino;
        const char* temporal;
    } temporales[] = {
        {"/caso/cam/2024-03-05-14-07-09.mp4", "/caso/cam/2024-03-05-14-07-09.descarga"},
        {"/caso/cam/grabacion", "/caso/cam/grabacion.descarga"},
        {"/caso/cam.1/grabacion", "/caso/cam.1/grabacion.descarga"},
        {"/caso/cam/.mp4", "/caso/cam/.mp4.descarga"},
        {"/caso/cam/x.descarga", "/caso/cam/x.descarga.descarga"},
        {"x.tar.gz", "x.tar.descarga"},
    };
    for (const auto& t : temporales) EXPECT_EQ(temporalDescarga(t.destino), QString::fromUtf8(t.temporal));

    const struct {
        const char* nombre;
        const char* seguro;
    } nombres[] = {
        {"2024-03-05-14-07-09.mp4", "2024-03-05-14-07-09.mp4"},
        {"con espacios y acentó.jpg", "con espacios y acentó.jpg"},
        {"../../x.mp4", "_.._.._x.mp4"},
        {"a\nb\tc\x7f.dav", "a_b_c_.dav"},
        // C1 controls and the Unicode line separators break a line as well.
        {"a\xc2\x85" "b\xe2\x80\xa8" "c\xe2\x80\xa9.dav", "a_b_c_.dav"},
        // A hidden name shows, and keeps its extension.
        {".oculto.mp4", "_.oculto.mp4"},
        {".mp4", "_.mp4"},
        {".", "_."},
        {"..", "_.."},
        {"", "_"},
    };
    for (const auto& n : nombres) EXPECT_EQ(componenteSeguro(n.nombre), QString::fromUtf8(n.seguro));
    EXPECT_EQ(componenteSeguro(QStringLiteral(".a/b\n"), QLatin1Char('-')), QStringLiteral("-.a-b-"));
}

TEST(Descargas, ColocarReemplazaEntero) {
    QTemporaryDir tmp;
    const QString temporal = tmp.filePath("v.descarga"), destino = tmp.filePath("v.mp4");
    ASSERT_TRUE(escribirArchivo(temporal, "nuevo"));
    ASSERT_TRUE(escribirArchivo(destino, "viejo"));
    renombrarDescarga(temporal, destino);
    EXPECT_EQ(leerArchivo(destino), QByteArray("nuevo"));
    EXPECT_FALSE(QFileInfo::exists(temporal));
    // Into a folder that is not there: the error names the file, and the temporary is gone.
    ASSERT_TRUE(escribirArchivo(temporal, "otro"));
    try {
        renombrarDescarga(temporal, tmp.filePath("no/hay/v.mp4"));
        ADD_FAILURE() << "sin error";
    } catch (const ErrorCamara& e) {
        EXPECT_TRUE(e.description.startsWith("no se pudo guardar " + tmp.filePath("no/hay/v.mp4") + ": "));
    }
    EXPECT_FALSE(QFileInfo::exists(temporal));
}
