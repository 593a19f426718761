#include "host/camera.h"
#include "host/lights.h"
#include "host/param_entries.h"
#include "host/sun_sky.h"

using namespace host;

// Defaults as 3ds Max gives them: a 40 mm lens on 36 mm film.
PhysicalCamera::PhysicalCamera()
    : CameraObject(paramBlock({
          floatParam(u"fov", 48.4555f),
          floatParam(u"film_width", 36.0f),
          floatParam(u"focal_length", 40.0f),
          floatParam(u"f_number", 8.0f),
          floatParam(u"shutter", 1.0f / 30.0f),
          floatParam(u"iso", 100.0f),
          boolParam(u"exposure", true),
          floatParam(u"target_distance", 1000.0f),
          boolParam(u"orthographic", false),
      })) {}

FreeLight::FreeLight()
    : LightObject(paramBlock({
          stringParam(u"shape", u"point"),
          stringParam(u"distribution", u"uniform spherical"),
          floatParam(u"hotspot", 30.0f),
          floatParam(u"falloff", 60.0f),
          stringParam(u"web_file", u""),
          floatParam(u"width", 0.0f),
          floatParam(u"length", 0.0f),
          floatParam(u"radius", 0.0f),
          colorParam(u"color", 1.0f, 1.0f, 1.0f),
          floatParam(u"intensity", 1500.0f),
          stringParam(u"unit", u"cd"),
          boolParam(u"visible", false),
          boolParam(u"two_sided", false),
          boolParam(u"on", true),
      })) {}

SunPositioner::SunPositioner() : LightObject(paramBlock({})) {}

PhysicalSunSkyEnv::PhysicalSunSkyEnv()
    : Texmap(paramBlock({
                 floatParam(u"turbidity", 3.0f),
                 floatParam(u"intensity", 1.0f),
             }),
             {}) {}
