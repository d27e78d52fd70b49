#include "gfx/render_state.h"

#include "gfx/gl.h"

namespace vant::gfx {

void clearScreenOnce() {
    glEnable(GL_TEXTURE_2D);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void setRenderingState() {
    glTexEnvf(GL_TEXTURE_FILTER_CONTROL_EXT, GL_TEXTURE_LOD_BIAS_EXT, -0.5f);
    glShadeModel(GL_SMOOTH);

    const GLfloat black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);

    // Three coloured lights over the middle of the map; prepared for the
    // editor's view, lighting itself stays off.
    const GLenum lights[3] = {GL_LIGHT0, GL_LIGHT1, GL_LIGHT2};
    const GLfloat diffuse[3][4] = {{0.0f, 1.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.0f, 1.0f}, {1.0f, 0.0f, 0.0f, 1.0f}};
    const GLfloat position[4] = {127.5f, 127.5f, 50.0f, 1.0f};
    for (int i = 0; i < 3; ++i) {
        glEnable(lights[i]);
        glLightfv(lights[i], GL_AMBIENT, black);
        glLightfv(lights[i], GL_DIFFUSE, diffuse[i]);
        glLightfv(lights[i], GL_POSITION, position);
        glLightf(lights[i], GL_QUADRATIC_ATTENUATION, 0.000301f);
        glLightf(lights[i], GL_SPOT_CUTOFF, 65.5f);
        glLightf(lights[i], GL_SPOT_EXPONENT, 3.39956f);
    }
    glEnable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHTING);
    for (GLenum light : lights) glDisable(light);
    glDisable(GL_COLOR_MATERIAL);

    glPolygonOffset(-0.2f, 0.0f);
    glDisable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glAlphaFunc(GL_GREATER, 0.21f);

    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glHint(GL_FOG_HINT, GL_NICEST);
    glDisable(GL_LINE_SMOOTH);

    const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glFogi(GL_FOG_MODE, GL_EXP);
    glFogf(GL_FOG_DENSITY, 0.000522f);
    glFogf(GL_FOG_START, 0.4f);
    glFogf(GL_FOG_END, 1.0f);
    glFogfv(GL_FOG_COLOR, white);
    glDisable(GL_FOG);

    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

OverlayScope::OverlayScope() {
    glGetTexEnvfv(GL_TEXTURE_FILTER_CONTROL_EXT, GL_TEXTURE_LOD_BIAS_EXT, &lodBias_);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_CULL_FACE);
}

OverlayScope::~OverlayScope() {
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
    glTexEnvf(GL_TEXTURE_FILTER_CONTROL_EXT, GL_TEXTURE_LOD_BIAS_EXT, lodBias_);
}

}  // namespace vant::gfx
