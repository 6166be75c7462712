"""The Kling-Gupta efficiency as a plain C loop, in the library's operation order and with its
floors: the baseline that the benchmarks' C sources share."""

KGE_C = r"""
double kge(const double* s, const double* o, long len) {
    double n = (double)len, ss = 0.0, so = 0.0;
    for (long i = 0; i < len; ++i) { ss += s[i]; so += o[i]; }
    double ms = ss / n, mo = so / n, cross = 0.0, sq_s = 0.0, sq_o = 0.0;
    for (long i = 0; i < len; ++i) {
        double ds = s[i] - ms, dob = o[i] - mo;
        cross += ds * dob; sq_s += ds * ds; sq_o += dob * dob;
    }
    double den = sqrt(sq_o * sq_s), r = cross / den;
    double ct = den < 1e-6 ? 1.0 : (r - 1.0) * (r - 1.0);
    double bd = fabs(mo) < 1e-6 ? 1e-6 : mo, beta = ms / bd, bt = (beta - 1.0) * (beta - 1.0);
    double so_ = sqrt(sq_o / n), ss_ = sqrt(sq_s / n);
    double vd = so_ < 1e-6 ? 1e-6 : so_, g = ss_ / vd, vt = (g - 1.0) * (g - 1.0);
    return 1.0 - sqrt((bt + ct) + vt);
}
"""
