// TurbulenceAt over the lanes of one instruction set. No include guard:
// runtime/each_vector_lanes.h includes it once per instruction set.

// Split for Lanes::kWidth values at once: the whole number through truncation where that is
// exact, as Split does, and the cell of a value beyond it its truncation's low byte, which is
// Wrapped's: a float of 2^31 or more is a multiple of 256, and one that is not finite or beyond
// int32 truncates to -2^31, a multiple of 256 too.
[[gnu::target(PP_LANES_TARGET), gnu::always_inline]] inline void SplitLanes(
    Lanes::Float u, Lanes::Int& cell, Lanes::Float& fraction) {
    const Lanes::Int whole = Lanes::Truncate(u);
    const Lanes::Float truncated = Lanes::ToFloat(whole);
    const Lanes::Mask above = Lanes::Greater(truncated, u);
    const Lanes::Int floorWhole = Lanes::SubWhere(above, whole, Lanes::SetInt(1));
    const Lanes::Float floor = Lanes::SubWhere(above, truncated, Lanes::Set(1.0f));
    const Lanes::Mask inside = Lanes::Less(Lanes::Abs(u), Lanes::Set(kWholeFrom));
    fraction = Lanes::Select(inside, Lanes::Sub(u, u), Lanes::Sub(u, floor));
    cell = Lanes::And(Lanes::Select(inside, whole, floorWhole),
                      Lanes::SetInt(static_cast<int32_t>(kCellMask)));
}

[[gnu::target(PP_LANES_TARGET), gnu::always_inline]] inline Lanes::Float FadeLanes(Lanes::Float t) {
    const Lanes::Float cube = Lanes::Mul(Lanes::Mul(t, t), t);
    const Lanes::Float inner = Lanes::Sub(Lanes::Mul(t, Lanes::Set(6.0f)), Lanes::Set(15.0f));
    return Lanes::Mul(cube, Lanes::Add(Lanes::Mul(t, inner), Lanes::Set(10.0f)));
}

[[gnu::target(PP_LANES_TARGET), gnu::always_inline]] inline Lanes::Float FadeSlopeLanes(
    Lanes::Float t) {
    const Lanes::Float square = Lanes::Mul(Lanes::Mul(Lanes::Set(30.0f), t), t);
    const Lanes::Float inner = Lanes::Mul(t, Lanes::Sub(t, Lanes::Set(2.0f)));
    return Lanes::Mul(square, Lanes::Add(inner, Lanes::Set(1.0f)));
}

// TurbulenceAt for particles from k on, Lanes::kWidth at a time while so many are left; returns
// where it stopped.
[[gnu::target(PP_LANES_TARGET)]] size_t TurbulenceFrom(const TurbulenceFrame& f, const Particle* p,
                                                       size_t k, size_t n, float* drift) {
    constexpr size_t kWidth = Lanes::kWidth;
    constexpr int kFloats = sizeof(Particle) / sizeof(float);
    static_assert(sizeof(Particle) % sizeof(float) == 0, "particles read as floats");
    const Lanes::Int records = Lanes::Steps(kFloats);
    const Lanes::Float invScale = Lanes::Set(f.InvScale);
    const Lanes::Float step = Lanes::Set(f.Step);
    const int32_t* const perm = f.Perm.data();
    const float* const value = f.Value.data();
    constexpr size_t kAhead = 128;
    for (; k + kWidth <= n; k += kWidth) {
        // The places are read in a stride that the processor's own prefetching follows too
        // late: the records kAhead further on are asked for now, each cache line once.
        if (k + kAhead + kWidth <= n) {
            const char* const ahead = reinterpret_cast<const char*>(p + k + kAhead);
            for (size_t b = 0; b < kWidth * sizeof(Particle); b += 64) {
                _mm_prefetch(ahead + b, _MM_HINT_T0);
            }
        }
        Lanes::Int i;
        Lanes::Int j;
        Lanes::Float fu;
        Lanes::Float fv;
        SplitLanes(Lanes::Mul(Lanes::Gather(&p[k].X, records), invScale), i, fu);
        SplitLanes(Lanes::Mul(Lanes::Gather(&p[k].Y, records), invScale), j, fv);
        const Lanes::Int pi = Lanes::Add(Lanes::Gather(perm, i), j);
        const Lanes::Int pi1 = Lanes::Add(Lanes::Gather(perm + 1, i), j);
        const Lanes::Float a = Lanes::Gather(value, pi);
        const Lanes::Float b = Lanes::Gather(value, pi1);
        const Lanes::Float c = Lanes::Gather(value + 1, pi);
        const Lanes::Float d = Lanes::Gather(value + 1, pi1);
        const Lanes::Float corners = Lanes::Add(Lanes::Sub(Lanes::Sub(a, b), c), d);
        const Lanes::Float du = Lanes::Mul(
            FadeSlopeLanes(fu), Lanes::Add(Lanes::Sub(b, a), Lanes::Mul(corners, FadeLanes(fv))));
        const Lanes::Float dv = Lanes::Mul(
            FadeSlopeLanes(fv), Lanes::Add(Lanes::Sub(c, a), Lanes::Mul(corners, FadeLanes(fu))));
        Lanes::StorePairs(Lanes::Mul(step, dv), Lanes::Negate(Lanes::Mul(step, du)), drift + 2 * k);
    }
    return k;
}
