#!/usr/bin/env python3
"""Loads an effect file, simulates one second of it on a virtual clock and prints how many
particles are alive - the particleplayer C library through ctypes, nothing to build.

    python3 simulate.py EFFECT.txt [--seed S] [--library PATH]

The library is PATH, else $PARTICLEPLAYER_LIBRARY, else libparticleplayer.so.1 from the
system's library path. The clock reads 1000 ms while the effect loads, then moves in 10 ms
frames to 2000 ms, with one update each, as `particleplayer simulate FILE --frames 100
--frame-ms 10` does.
"""
import argparse
import ctypes
import os
import sys


def load_library(path):
    lib = ctypes.CDLL(path or os.environ.get("PARTICLEPLAYER_LIBRARY") or "libparticleplayer.so.1")
    world_p = ctypes.c_void_p
    lib.pp_version.restype = ctypes.c_char_p
    lib.pp_world_create.argtypes = [ctypes.POINTER(world_p), ctypes.c_uint32]
    lib.pp_world_destroy.argtypes = [world_p]
    lib.pp_world_last_error.argtypes = [world_p]
    lib.pp_world_last_error.restype = ctypes.c_char_p
    lib.pp_world_seed.argtypes = [world_p, ctypes.c_uint32]
    lib.pp_world_set_time.argtypes = [world_p, ctypes.c_uint32]
    lib.pp_world_load_effect_file.argtypes = [world_p, ctypes.c_char_p, ctypes.c_float,
                                              ctypes.c_float, ctypes.POINTER(ctypes.c_uint32)]
    lib.pp_world_update.argtypes = [world_p, ctypes.POINTER(ctypes.c_float)]
    lib.pp_world_particle_count.argtypes = [world_p, ctypes.POINTER(ctypes.c_int64)]
    return lib


def main():
    parser = argparse.ArgumentParser(description="Simulates one second of an effect.")
    parser.add_argument("effect")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--library")
    args = parser.parse_args()

    lib = load_library(args.library)
    world = ctypes.c_void_p()
    if lib.pp_world_create(ctypes.byref(world), 1000) != 0:
        sys.exit("simulate.py: cannot create a world")
    try:
        lib.pp_world_seed(world, args.seed)
        effect = ctypes.c_uint32()
        if lib.pp_world_load_effect_file(world, args.effect.encode(), 0, 0, ctypes.byref(effect)):
            sys.exit("simulate.py: " + lib.pp_world_last_error(world).decode())
        for frame in range(1, 101):
            lib.pp_world_set_time(world, 1000 + frame * 10)
            lib.pp_world_update(world, None)
        count = ctypes.c_int64()
        lib.pp_world_particle_count(world, ctypes.byref(count))
        print(f"particleplayer {lib.pp_version().decode()}: {count.value} particles after one second")
    finally:
        lib.pp_world_destroy(world)


if __name__ == "__main__":
    main()
