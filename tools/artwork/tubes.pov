// Two 12AX7 preamp valves on a dark, slightly reflective surface. The animation clock (0..1 over
// the 24 frames) is the heat: at 0 the heaters glow faintly orange, at 1 the plates glow fully.
// Units are millimetres, y up, the camera looking along +z.
#version 3.7;

global_settings {
  assumed_gamma 1.0
  max_trace_level 12
}

#declare Heat = clock;
#declare HeaterGlow = 0.14 + 2.8 * pow(Heat, 1.2);
#declare PlateGlow = pow(Heat, 1.8);

#declare HeaterColour = rgb <1.0, 0.42, 0.10>;
#declare PlateColour = rgb <1.0, 0.26, 0.03>;

camera {
  perspective
  location <0, 50, -162>
  look_at <0, 22, 0>
  right x * 460 / 368
  angle 33
}

// Key light from the upper left, a cool rim from behind on the right, a faint fill from the front.
light_source { <-90, 160, -120> rgb <0.55, 0.52, 0.50> area_light <20, 0, 0>, <0, 0, 20>, 3, 3 adaptive 1 jitter }
light_source { <120, 90, 140> rgb <0.20, 0.24, 0.32> }
light_source { <0, 30, -200> rgb 0.06 shadowless }

// Two tall soft boxes out of view, front left and right, seen only as long highlights on the glass.
#macro SoftBox(X, Brightness)
  box {
    <-1, -1, -0.1>, <1, 1, 0.1>
    scale <10, 45, 1>
    rotate 35 * y * (X < 0 ? 1 : -1)
    translate <X, 55, -55>
    texture { pigment { rgb 1 } finish { ambient 0 diffuse 0 emission Brightness } }
    no_image no_shadow
  }
#end
SoftBox(-95, 0.42)
SoftBox(95, 0.18)

// Glowing parts also light their surroundings (the surface, the glass, the socket).
#macro WarmLight(X)
  light_source {
    <X, 24, 0>
    HeaterColour * (0.05 + 0.9 * PlateGlow)
    fade_distance 22 fade_power 2
    looks_like { sphere { 0, 0.001 no_image } }
  }
#end
WarmLight(-24)
WarmLight(24)

// Dark background: a wall far behind, a little lighter low down where the surface meets it.
plane {
  z, 400
  pigment {
    gradient y
    color_map {
      [0.00 rgb <0.020, 0.018, 0.017>]
      [0.35 rgb <0.007, 0.0065, 0.0065>]
      [1.00 rgb <0.002, 0.002, 0.0025>]
    }
    scale 260
    translate -40 * y
  }
  finish { emission 1 diffuse 0 }
}

// The surface: near-black lacquer with a soft, fresnel-weighted reflection.
plane {
  y, 0
  texture {
    pigment { rgb <0.012, 0.011, 0.011> }
    normal { bumps 0.015 scale 3 }
    finish {
      diffuse 0.6
      specular 0.25 roughness 0.02
      reflection { 0.12, 0.7 fresnel on metallic 0 }
      conserve_energy
    }
  }
  interior { ior 1.45 }
}

#declare Glass = material {
  texture {
    pigment { rgbf <0.97, 0.98, 1.0, 0.96> }
    finish {
      ambient 0 diffuse 0.02
      specular 0.9 roughness 0.0015
      reflection { 0.03, 0.5 fresnel on }
      conserve_energy
    }
  }
  interior { ior 1.48 }
}

#declare Nickel = texture {
  pigment { rgb <0.34, 0.33, 0.31> }
  finish { ambient 0 diffuse 0.55 specular 0.35 roughness 0.03 metallic 0.6 brilliance 1.4 }
}

// The plate glows hottest in its middle and less towards its top and bottom edges.
#macro PlateTexture(E)
  pigment { rgb <0.11, 0.105, 0.10> }
  normal { gradient y 0.25 scale 1.2 }
  finish { ambient 0 diffuse 0.6 specular 0.15 roughness 0.05 metallic 0.5 emission PlateColour * PlateGlow * E * 1.35 }
#end
#declare DarkPlate = texture {
  gradient y
  texture_map { [0.0 PlateTexture(0.25)] [0.5 PlateTexture(1.05)] [1.0 PlateTexture(0.25)] }
  scale 18
  translate 13 * y
}

#declare Mica = texture {
  pigment { rgbf <0.86, 0.80, 0.70, 0.35> }
  finish { ambient 0 diffuse 0.5 specular 0.2 emission HeaterColour * 0.05 * Heat }
}

#declare HeaterWire = texture {
  pigment { rgb <1, 0.7, 0.4> }
  finish { ambient 0 diffuse 0 emission HeaterColour * HeaterGlow }
}

// One triode section: a box-shaped plate with a slot down its front, the cathode sleeve inside it
// and the heater wire glowing through the slot and looping above the top mica.
#macro Section(X)
  union {
    difference {
      box { <-3.4, 13, -2.3>, <3.4, 31, 2.3> }
      box { <-3.0, 12, -1.9>, <3.0, 32, 1.9> }
      box { <-0.9, 14.5, -3>, <0.9, 29.5, 0> }
      box { <-0.9, 14.5, 0>, <0.9, 29.5, 3> }
      texture { DarkPlate }
    }
    // ribs along the plate's edges
    box { <-3.6, 13, -0.5>, <-3.3, 31, 0.5> texture { DarkPlate } }
    box { <3.3, 13, -0.5>, <3.6, 31, 0.5> texture { DarkPlate } }
    cylinder { <0, 12, 0>, <0, 33, 0>, 0.75 texture { Nickel finish { emission HeaterColour * 0.25 * Heat } } }
    // heater: two wires running down the cathode's front, visible through the slot, and a loop on top
    cylinder { <-0.35, 13.5, -0.8>, <-0.35, 30.5, -0.8>, 0.16 texture { HeaterWire } }
    cylinder { <0.35, 13.5, -0.8>, <0.35, 30.5, -0.8>, 0.16 texture { HeaterWire } }
    torus { 0.9, 0.17 rotate 90 * x translate <0, 34.2, 0> texture { HeaterWire } }
    cylinder { <-0.9, 33, 0>, <-0.9, 34.2, 0>, 0.17 texture { HeaterWire } }
    cylinder { <0.9, 33, 0>, <0.9, 34.2, 0>, 0.17 texture { HeaterWire } }
    torus { 0.8, 0.17 rotate 90 * x translate <0, 9.8, 0> texture { HeaterWire } }
    translate X * x
  }
#end

#macro Valve(X)
  union {
    // glass envelope: cylinder, domed top with the exhaust pip, rounded bottom
    merge {
      cylinder { <0, 5, 0>, <0, 40, 0>, 10.6 }
      intersection {
        sphere { 0, 1 scale <10.6, 7.5, 10.6> translate 40 * y }
        plane { -y, -40 }
      }
      cone { <0, 47, 0>, 2.2, <0, 50, 0>, 0.9 }
      sphere { <0, 50, 0>, 0.9 }
      intersection {
        sphere { 0, 1 scale <10.6, 2.5, 10.6> translate 5 * y }
        plane { y, 5 }
      }
      hollow
      material { Glass }
    }
    // getter flash on the inside of the dome
    intersection {
      sphere { 0, 1 scale <10.25, 7.1, 10.25> translate 40 * y }
      plane { -y, -43.5 }
      texture {
        pigment { rgb <0.10, 0.10, 0.11> }
        finish { ambient 0 diffuse 0.2 specular 0.9 roughness 0.004 reflection 0.55 metallic }
      }
    }
    // getter ring on its support
    torus { 3.2, 0.55 translate 37.2 * y texture { Nickel } }
    cylinder { <-4, 35, 0>, <-3, 37.2, 0>, 0.22 texture { Nickel } }
    // mica spacers, support rods, the two sections
    box { <-9.6, 32.2, -4.2>, <9.6, 32.7, 4.2> texture { Mica } }
    box { <-9.6, 10.8, -4.2>, <9.6, 11.3, 4.2> texture { Mica } }
    #for (I, 0, 3)
      #local RX = (I < 2 ? -1 : 1) * (I = 0 | I = 3 ? 8.4 : 0.0);
      #local RZ = (mod(I, 2) = 0 ? -2.9 : 2.9);
      cylinder { <RX, 5, RZ>, <RX, 35.5, RZ>, 0.32 texture { Nickel } }
    #end
    Section(-4.6)
    Section(4.6)
    // leads from the pins up to the lower mica
    #for (I, 0, 8)
      #local A = I * 40 - 80;
      cylinder { <8 * sin(radians(A)), 2.6, -8 * cos(radians(A))>, <6.5 * sin(radians(A)), 10.8, -6.5 * cos(radians(A))>, 0.25 texture { Nickel } }
    #end
    // black socket the valve stands in, with a polished bevel
    difference {
      cylinder { <0, 0, 0>, <0, 4.2, 0>, 13.2 }
      cylinder { <0, 3.2, 0>, <0, 5, 0>, 11.2 }
      texture {
        pigment { rgb 0.018 }
        finish { ambient 0 diffuse 0.5 specular 0.5 roughness 0.01 reflection 0.08 }
      }
    }
    torus { 12.7, 0.5 translate 4.2 * y texture { pigment { rgb 0.03 } finish { ambient 0 specular 0.7 roughness 0.006 reflection 0.12 } } }
    translate X * x
  }
#end

Valve(-24)
Valve(24)
