# Error-to-signal ratio of the network chain against the exact chain, one point a measured cell.
set terminal pngcairo size 900,520 font "DejaVu Sans,10"
set output out
set logscale x
set xrange [18000:4000000]
set yrange [-60:-20]
set xlabel "running rate (Hz)"
set ylabel "error-to-signal ratio (dB)"
set title "Network chain against the exact chain (guitar take, peaks 0.1 to 1.5 V)"
set grid
set key bottom right
set arrow from 40000,-40 to 52000,-40 nohead lw 2 lc rgb "#c03030"
set arrow from 18000,-30 to 4000000,-30 nohead dt 2 lc rgb "#c03030"
set label "target at 44.1 / 48 kHz" at 54000,-40 tc rgb "#c03030"
set label "target at every rate" at 1000000,-29 tc rgb "#c03030"
plot fresh using ($1*0.985):3 with points pt 7 ps 0.8 lc rgb "#2060b0" title "fresh tubes", \
     aged using ($1*1.015):3 with points pt 5 ps 0.8 lc rgb "#d08020" title "aged tubes"
