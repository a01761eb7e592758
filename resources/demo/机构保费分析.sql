-- Premium receipts of the listed company, one row per receipt, with the
-- region each city belongs to.
SELECT CASE b.city_code WHEN '3301' THEN '浙北' WHEN '3304' THEN '浙北' WHEN '3305' THEN '浙北' WHEN '3302' THEN '浙东' WHEN '3306' THEN '浙东' WHEN '3309' THEN '浙东' WHEN '3307' THEN '浙中西' WHEN '3308' THEN '浙中西' ELSE '浙南' END AS region, b.city_branch_name, b.town_branch_name,
       SUBSTR(CAST(f.group_date AS VARCHAR(10)), 1, 4) || '年' AS stat_year, CASE WHEN SUBSTR(CAST(f.group_date AS VARCHAR(10)), 6, 2) <= '03' THEN '第1季度' WHEN SUBSTR(CAST(f.group_date AS VARCHAR(10)), 6, 2) <= '06' THEN '第2季度' WHEN SUBSTR(CAST(f.group_date AS VARCHAR(10)), 6, 2) <= '09' THEN '第3季度' ELSE '第4季度' END AS stat_quarter,
       SUBSTR(CAST(f.group_date AS VARCHAR(10)), 6, 2) || '月' AS stat_month,
       c.channel_name, p.class_name, f.stat_type, f.amnt AS prem_band, f.amnt, f.total_num
FROM f_premium f
JOIN d_branch b ON b.branch_code = f.mgr_branch
JOIN d_channel c ON c.channel_code = f.channel_code
JOIN d_product p ON p.pol_code = f.pol_code
WHERE f.corp_flag = 'G'
