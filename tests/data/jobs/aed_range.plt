set style data l 
set xlabel 'Energy [eV]'
set ylabel 'Cross section [A^2]'
plot [-1.00:2.00] '{tmp}/db/HCl/AD/adJ05.dat' u 1: 5 t 'AED -> HCl( 2, 5)'
pause -1
