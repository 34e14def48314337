# Network error per block and position from a model builder report.
#   gnuplot -e "report='REPORT.txt'; out='ERRORS.png'" scripts/plot-network-errors.gp
# Column 7 of the report is the RMS error relative to each current's decoding range, after the
# weights were rounded to single precision.
set terminal pngcairo size 1200,800 font "DejaVu Sans,10"
set output out
set multiplot layout 2,2 title "Network error (RMS, relative to the current's range) — ".report
set logscale y
set grid
set ylabel "relative RMS error"
set xlabel "gain position"
set title "block 1"
plot report using (strcol(1) eq "b1" ? $2 : 1/0):7 with linespoints pt 7 notitle
set title "block 2"
plot report using (strcol(1) eq "b2" ? $2 : 1/0):7 with linespoints pt 7 notitle
set title "block 3 (one file per running rate)"
set xlabel "running rate (Hz)"
set logscale x
plot report using (strcol(1) eq "b3" ? $2 : 1/0):7 with linespoints pt 7 notitle
unset logscale x
set title "block 4"
set xlabel "tone index (225 treble + 15 bass + middle)"
plot report using (strcol(1) eq "b4" ? $2 : 1/0):7 with dots notitle
unset multiplot
