set style data l 
set xlabel 'Energy [eV]'
set ylabel 'Cross section [A^2]'
plot [0.50:3.00] '{tmp}/work/data/HCl_VE01J00FWHM050.dat'u 1: 4 t 'VE, HCl( 1, 0)->( 2, 0), FWHM  50meV'
pause -1
